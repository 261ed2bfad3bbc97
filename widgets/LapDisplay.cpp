#include "widgets/LapDisplay.h"

#include <QTreeWidget>
#include <QVBoxLayout>

#include "rules/LapRows.h"
#include "widgets/ReportView.h"

TLapDisplay::TLapDisplay(TSensorList& sensors, QWidget* parent) : QWidget(parent), sensors_(sensors) {
  setObjectName("LapDisplay");
  list_ = new QTreeWidget(this);
  list_->setObjectName("lvLaps");
  SetReportStyle(list_, {{LapColumnCaptions[0], LapColumnWidths[0]}, {LapColumnCaptions[1], LapColumnWidths[1]}});
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
}

void TLapDisplay::RefreshLaps() {
  const std::vector<TLapRow> rows = LapRows(sensors_);
  const int n = static_cast<int>(rows.size());
  for (int i = 0; i < n; ++i) {
    QTreeWidgetItem* item = list_->topLevelItem(i);
    if (!item) item = new QTreeWidgetItem(list_);
    item->setText(0, QString::fromStdString(rows[static_cast<size_t>(i)].LapText));
    item->setText(1, QString::fromStdString(rows[static_cast<size_t>(i)].TimeText));
  }
  while (list_->topLevelItemCount() > n) delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
}

int TLapDisplay::LapCount() const { return list_->topLevelItemCount(); }
