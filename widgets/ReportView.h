#pragma once
// The report-style list view shared by the error codes, recordings and laps pages: one line per
// item, whole rows selected, no tree lines, columns at their design widths.
#include <QStringList>
#include <initializer_list>

class QTreeWidget;

struct TReportColumn {
  const char* Caption;
  int Width;  // pixels
};

void SetReportStyle(QTreeWidget* view, std::initializer_list<TReportColumn> columns);
// Widens a column, where the view's font needs it, to show its caption and each of texts
// whole; a column is never made narrower.
void FitColumn(QTreeWidget* view, int column, const QStringList& texts);
