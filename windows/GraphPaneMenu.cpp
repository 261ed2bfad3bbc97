#include "windows/GraphPaneMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

#include "rules/GraphPage.h"
#include "vars/GraphSelection.h"
#include "widgets/GraphControl.h"

namespace {
QIcon Swatch(uint32_t rgb) {
  QPixmap pm(16, 16);
  pm.fill(GraphColour(rgb));
  QPainter p(&pm);
  p.setPen(QColor(90, 90, 90));
  p.drawRect(0, 0, 15, 15);
  return QIcon(pm);
}
}  // namespace

TGraphPaneMenu::TGraphPaneMenu(QWidget* parent, TGraphControl& graph, TGraphSelection& selection, int pane,
                               const std::function<QAction*(TCommand)>& action, std::function<void()> edited)
    : QMenu(parent), selection_(selection), edited_(std::move(edited)) {
  const TGraphModel& m = graph.Graph().Model;
  const TGraphlet* p = pane >= 0 && pane < m.PaneCount ? &m.Panes[static_cast<size_t>(pane)] : nullptr;
  TPaneMenuInputs in;
  in.HasRecording = graph.HasRecording();
  in.HasSelection = selection.Count() > 0;
  in.HasReference = graph.Reference().has_value();
  if (p && p->Variable) {
    in.SensorName = p->Variable->Name;
    id_ = p->Variable->Id;
  }
  for (const TPaneMenuItem& item : GraphPaneMenu(in)) {
    if (item.SeparatorBefore) addSeparator();
    if (item.Command != TCommand::Count) {
      addAction(action(item.Command));
      continue;
    }
    QString caption = QString::fromStdString(item.Caption);
    if (!item.KeyText.empty()) caption += QStringLiteral("\t") + QString::fromStdString(item.KeyText);
    if (item.PaneCommand == TPaneCommand::Colour) {
      colours_ = addMenu(caption);
      colours_->setEnabled(item.Enabled);
      if (!item.Enabled) continue;
      auto* group = new QActionGroup(colours_);
      const std::optional<uint32_t> chosen = selection.Colour(id_);
      for (const TColourChoice& c : PaneColourChoices()) {
        QAction* a = colours_->addAction(Swatch(c.Rgb), QString::fromUtf8(c.Name));
        a->setCheckable(true);
        a->setChecked(chosen == c.Rgb);
        group->addAction(a);
        const uint32_t rgb = c.Rgb;
        connect(a, &QAction::triggered, this, [this, rgb] { SetColour(rgb); });
      }
      colours_->addSeparator();
      const uint32_t current = p->Colour;
      connect(colours_->addAction(OtherColourCaption), &QAction::triggered, this, [this, current] {
        const QColor c = QColorDialog::getColor(GraphColour(current), parentWidget(), QStringLiteral("Trace Colour"));
        if (c.isValid()) SetColour(static_cast<uint32_t>(c.rgb() & 0xFFFFFF));
      });
      const uint32_t paneDefault = GraphPaneColour(pane);
      QAction* byDefault = colours_->addAction(Swatch(paneDefault), QString::fromStdString(DefaultColourCaption(paneDefault)));
      byDefault->setCheckable(true);
      byDefault->setChecked(!chosen);
      group->addAction(byDefault);
      connect(byDefault, &QAction::triggered, this, [this] { SetColour(std::nullopt); });
      continue;
    }
    QAction* a = addAction(caption);
    a->setEnabled(item.Enabled);
    switch (item.PaneCommand) {
      case TPaneCommand::RemoveSensor:
        connect(a, &QAction::triggered, this, [this] {
          selection_.RemoveId(id_);
          edited_();
        });
        break;
      case TPaneCommand::SetReference:
        connect(a, &QAction::triggered, this, [&graph] { graph.SetReference(graph.MenuTime()); });
        break;
      case TPaneCommand::ClearReference: connect(a, &QAction::triggered, this, [&graph] { graph.ClearReference(); }); break;
      case TPaneCommand::CopyValues: connect(a, &QAction::triggered, this, [&graph] { graph.CopyValues(); }); break;
      default: break;
    }
  }
}

void TGraphPaneMenu::SetColour(std::optional<uint32_t> rgb) {
  if (rgb)
    selection_.SetColour(id_, *rgb);
  else
    selection_.ClearColour(id_);
  edited_();
}
