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
  // Wide rows are followed across more easily in bands.
  setAlternatingRowColors(true);
  // The columns fill the width; no scroll bar for a few pixels too many.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  connect(this, &QTreeWidget::itemChanged, this, &TSensorListView::OnItemChanged);
}

void TSensorListView::SetupSensorList() {
  clear();
  QStringList captions;
  for (const TSensorColumnDesign& c : SensorColumns()) captions << QString::fromUtf8(c.Caption);
  setColumnCount(SensorColumnCount);
  setHeaderLabels(captions);
  narrowest_.clear();
  for (int i = 0; i < SensorColumnCount; ++i) {
    const TSensorColumnDesign& c = SensorColumns()[static_cast<size_t>(i)];
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 8;
    const int widest = std::max(fontMetrics().horizontalAdvance(QString::fromUtf8(c.Widest)),
                                header()->fontMetrics().horizontalAdvance(QString::fromUtf8(c.Caption)));
    narrowest_.push_back(std::max(c.Width, widest + padding));
    if (c.Numbers) headerItem()->setTextAlignment(i, Qt::AlignRight | Qt::AlignVCenter);
  }
  SpreadColumnWidths();
}

void TSensorListView::SpreadColumnWidths() {
  if (narrowest_.empty()) return;
  std::vector<int> shares;
  for (const TSensorColumnDesign& c : SensorColumns()) shares.push_back(c.Share);
  const std::vector<int> widths = SpreadColumns(viewport()->width(), narrowest_, shares);
  for (int i = 0; i < SensorColumnCount; ++i) setColumnWidth(i, widths[static_cast<size_t>(i)]);
}

void TSensorListView::resizeEvent(QResizeEvent* event) {
  QTreeWidget::resizeEvent(event);
  SpreadColumnWidths();
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
      for (int i = 0; i < SensorColumnCount; ++i)
        if (SensorColumns()[static_cast<size_t>(i)].Numbers)
          row->setTextAlignment(i, Qt::AlignRight | Qt::AlignVCenter);
    }
    row->setCheckState(scLog, texts.Logged ? Qt::Checked : Qt::Unchecked);
    row->setText(scSensor, QString::fromStdString(texts.Name));
    row->setText(scValue, QString());
    row->setText(scUnits, QString::fromStdString(texts.Units));
    row->setText(scRate, QString::fromStdString(texts.Rate));
  }
  filling_ = false;
}

void TSensorListView::ResetStatistics() { stats_.Reset(); }

void TSensorListView::UpdateSensorValues(const TSensorList& sensors, std::optional<int64_t> liveMs) {
  if (liveMs) stats_.Sample(sensors, *liveMs);
  auto set = [](QTreeWidgetItem* row, int column, const std::string& text) {
    const QString q = QString::fromStdString(text);
    if (row->text(column) != q) row->setText(column, q);
  };
  const QBrush normal;  // the style's own text colour
  const QBrush stale(QColor(200, 0, 0));
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = topLevelItem(i);
    TDisplayVar* var = sensors.FindDisplay(IdOf(row));
    if (!var) continue;
    set(row, scValue, SensorValueText(*var));
    const TSensorStats::TCells cells = stats_.CellsOf(*var);
    set(row, scLowest, cells.Lowest);
    set(row, scHighest, cells.Highest);
    set(row, scReads, cells.Rate);
    const QBrush& reads = cells.Stale ? stale : normal;
    if (row->foreground(scReads) != reads) row->setForeground(scReads, reads);
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
