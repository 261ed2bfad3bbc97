#include "widgets/ReportView.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

void SetReportStyle(QTreeWidget* view, std::initializer_list<TReportColumn> columns) {
  view->setRootIsDecorated(false);
  view->setItemsExpandable(false);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setColumnCount(static_cast<int>(columns.size()));
  QStringList captions;
  for (const TReportColumn& c : columns) captions << c.Caption;
  view->setHeaderLabels(captions);
  view->header()->setStretchLastSection(false);
  int i = 0;
  for (const TReportColumn& c : columns) view->setColumnWidth(i++, c.Width);
}

void FitColumn(QTreeWidget* view, int column, const QStringList& texts) {
  // The text margins an item and a header section leave on both sides.
  const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 4;
  int need = view->header()->sectionSizeHint(column);
  for (const QString& t : texts) need = std::max(need, view->fontMetrics().horizontalAdvance(t) + margin);
  if (need > view->columnWidth(column)) view->setColumnWidth(column, need);
}
