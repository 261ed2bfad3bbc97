#include "windows/SensorListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

#include "rules/Dashboard.h"
#include "vars/SensorList.h"

namespace {
constexpr int IdRole = Qt::UserRole;
}

TSensorListView::TSensorListView(QWidget* parent) : QTreeWidget(parent) {
  setObjectName(QStringLiteral("SensorListView"));
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  header()->setSectionsClickable(false);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  connect(this, &QTreeWidget::itemChanged, this, &TSensorListView::OnItemChanged);
}

void TSensorListView::SetupSensorList() {
  clear();
  QStringList captions;
  for (const TSensorColumnDesign& c : SensorColumns()) captions << QString::fromUtf8(c.Caption);
  setColumnCount(SensorColumnCount);
  setHeaderLabels(captions);
  for (int i = 0; i < SensorColumnCount; ++i) {
    const TSensorColumnDesign& c = SensorColumns()[static_cast<size_t>(i)];
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    const int widest = std::max(fontMetrics().horizontalAdvance(QString::fromUtf8(c.Widest)),
                                header()->fontMetrics().horizontalAdvance(QString::fromUtf8(c.Caption)));
    setColumnWidth(i, std::max(c.Width, widest + padding));
  }
}

uint32_t TSensorListView::IdOf(const QTreeWidgetItem* row) { return row ? row->data(0, IdRole).toUInt() : 0; }

QTreeWidgetItem* TSensorListView::RowForId(uint32_t id) const {
  for (int i = 0; i < topLevelItemCount(); ++i)
    if (IdOf(topLevelItem(i)) == id) return topLevelItem(i);
  return nullptr;
}

void TSensorListView::FillSensorList(TSensorList& sensors) {
  sensors_ = &sensors;
  filling_ = true;
  const TSettings& settings = *sensors.Context.Settings;
  for (TVar* item : *sensors.DisplayVars) {
    const TSensorRow texts = SensorRow(static_cast<const TDisplayVar&>(*item), settings);
    QTreeWidgetItem* row = RowForId(texts.Id);
    if (!row) {
      row = new QTreeWidgetItem(this);
      row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren);
      row->setData(0, IdRole, texts.Id);
    }
    row->setCheckState(scLog, texts.Logged ? Qt::Checked : Qt::Unchecked);
    row->setText(scSensor, QString::fromStdString(texts.Name));
    row->setText(scValue, QString());
    row->setText(scUnits, QString::fromStdString(texts.Units));
    row->setText(scRate, QString::fromStdString(texts.Rate));
  }
  filling_ = false;
}

void TSensorListView::UpdateSensorValues(const TSensorList& sensors) {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = topLevelItem(i);
    TDisplayVar* var = sensors.FindDisplay(IdOf(row));
    if (!var) continue;
    const QString text = QString::fromStdString(SensorValueText(*var));
    if (row->text(scValue) != text) row->setText(scValue, text);
  }
}

void TSensorListView::OnItemChanged(QTreeWidgetItem* row, int column) {
  if (filling_ || column != scLog || !sensors_) return;
  TDisplayVar* var = sensors_->FindDisplay(IdOf(row));
  TRawVar* source = var ? static_cast<TRawVar*>(var->Source) : nullptr;
  if (!source) return;
  const uint8_t on = row->checkState(scLog) == Qt::Checked ? 1 : 0;
  if (source->PollEnabled == on) return;
  source->PollEnabled = on;
  emit PollSettingsChanged();
}

void TSensorListView::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  if (text.size() != 1 || !IsRateKey(text.at(0).toLatin1())) {
    QTreeWidget::keyPressEvent(event);
    return;
  }
  event->accept();
  const QList<QTreeWidgetItem*> selected = selectedItems();
  if (selected.isEmpty() || !sensors_) return;
  TDisplayVar* var = sensors_->FindDisplay(IdOf(selected.first()));
  TRawVar* source = var ? static_cast<TRawVar*>(var->Source) : nullptr;
  if (!source) return;
  source->RateHz = StepRate(source->RateHz, text.at(0).toLatin1());
  FillSensorList(*sensors_);
  emit PollSettingsChanged();
}
