#include "windows/GraphOverlayMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "analysis/LapOverlay.h"
#include "recording/Recording.h"
#include "vars/SensorList.h"
#include "widgets/GraphControl.h"
#include "windows/FileDialogs.h"

TGraphOverlayMenu::TGraphOverlayMenu(QWidget* window, QMenu& graphMenu, QAction* after, TGraphControl& graph,
                                     TCoreContext& core, std::function<void(const std::string&)> report)
    : QObject(window), window_(window), graph_(graph), core_(core), report_(std::move(report)) {
  for (const TOverlayCommandInfo& info : OverlayCommandTable()) {
    auto* act = new QAction(QString::fromUtf8(info.Caption), window);
    act->setObjectName(info.Name);
    act->setStatusTip(QString::fromUtf8(info.Hint));
    act->setToolTip(QString::fromUtf8(info.Hint));
    act->setCheckable(info.Checkable);
    const TOverlayCommand c = info.Command;
    connect(act, &QAction::triggered, this, [this, c] { Execute(c); });
    actions_[static_cast<size_t>(c)] = act;
  }
  auto* axes = new QActionGroup(this);
  axes->addAction(Action(TOverlayCommand::LapAxisTime));
  axes->addAction(Action(TOverlayCommand::LapAxisDistance));
  // After "after": a separator, the laps, the lap axis, the compared run.
  const QList<QAction*> items = graphMenu.actions();
  const qsizetype at = items.indexOf(after);
  QAction* before = at >= 0 && at + 1 < items.size() ? items[at + 1] : nullptr;
  graphMenu.insertSeparator(before);
  graphMenu.insertAction(before, Action(TOverlayCommand::OverlayLaps));
  auto* axis = new QMenu(QString::fromUtf8(LapAxisMenuCaption), &graphMenu);
  axis->setObjectName("LapAxisMenu");
  axis->addAction(Action(TOverlayCommand::LapAxisTime));
  axis->addAction(Action(TOverlayCommand::LapAxisDistance));
  graphMenu.insertMenu(before, axis);
  for (TOverlayCommand c : {TOverlayCommand::CompareWith, TOverlayCommand::AlignReference, TOverlayCommand::ResetAlignment})
    graphMenu.insertAction(before, Action(c));
  connect(&graph_, &TGraphControl::OverlayChanged, this, &TGraphOverlayMenu::Update);
  Update();
}

void TGraphOverlayMenu::Update() {
  TOverlayInputs in;
  const TRecording* current = CurrentRecordingOf(core_);
  in.HasRecording = current != nullptr;
  in.HasLaps = current && HasLapSignals(*current);
  in.HasRoadSpeed = current && core_.Sensors && HasRoadSpeed(*current, *core_.Sensors);
  in.Overlaying = graph_.Overlaying();
  in.DistanceAxis = graph_.LapAxis() == TLapAxis::Distance;
  in.Comparing = graph_.Comparing();
  in.Shifted = graph_.Compare() && graph_.Compare()->Shifted();
  const auto states = OverlayCommandStates(in);
  for (size_t i = 0; i < OverlayCommandCount; ++i) {
    actions_[i]->setEnabled(states[i].Enabled);
    if (actions_[i]->isCheckable()) actions_[i]->setChecked(states[i].Checked);
  }
}

void TGraphOverlayMenu::Execute(TOverlayCommand c) {
  switch (c) {
    case TOverlayCommand::OverlayLaps: graph_.SetOverlay(!graph_.Overlaying()); break;
    case TOverlayCommand::LapAxisTime: graph_.SetLapAxis(TLapAxis::Time); break;
    case TOverlayCommand::LapAxisDistance: graph_.SetLapAxis(TLapAxis::Distance); break;
    case TOverlayCommand::CompareWith:
      // A checked command: chosen again, it removes the compared run.
      if (graph_.Comparing()) {
        graph_.ClearCompared();
        break;
      }
      if (CurrentRecordingOf(core_) && core_.Sensors)
        if (std::unique_ptr<TRecording> reference = CompareRecordingDialog(core_, *core_.Sensors->RawVars, window_, report_))
          graph_.SetCompared(std::move(reference));
      break;
    case TOverlayCommand::AlignReference: graph_.AlignCompared(); break;
    case TOverlayCommand::ResetAlignment: graph_.ResetCompared(); break;
    case TOverlayCommand::Count: break;
  }
  Update();
}
