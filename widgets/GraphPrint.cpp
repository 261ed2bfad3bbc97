#include "widgets/GraphPrint.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

#include "recording/Recording.h"
#include "vars/SensorList.h"

TGraphPrint::TGraphPrint(QPrinter& printer, const TGraphSelection& selection, TCoreContext& core)
    : core_(core), graph_(&selection, QFont(), &printer, TGraphSurface::Printer) {
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  graph_.Model.Width = page.width();
  graph_.Model.Height = page.height();
  graph_.Layout(Current());
}

const TRecording* TGraphPrint::Current() const { return CurrentRecordingOf(core_); }

void TGraphPrint::SetStartTime(double t) {
  TGraphModel& m = graph_.Model;
  m.StartTime = std::max(t, 0.0);
  m.TimeSpan = m.EndTime - m.StartTime;
}

void TGraphPrint::SetEndTime(double t) {
  TGraphModel& m = graph_.Model;
  const TRecording* r = Current();
  m.EndTime = r ? std::min(t, r->LengthSeconds()) : t;
  m.TimeSpan = m.EndTime - m.StartTime;
}

void TGraphPrint::Print(QPainter& p) {
  const TRecording* r = Current();
  graph_.Model.LayoutTimeAxis(r);
  graph_.PaintAll(p);
  p.setFont(graph_.LabelFont);
  p.setPen(Qt::black);
  const QString title = QStringLiteral("Revscope - ") + QString::fromUtf8(r ? r->Description : "");
  const int x = (graph_.Model.Width - p.fontMetrics().horizontalAdvance(title)) / 2;
  BoxedText(p, x, 0, title, Qt::white);
}
