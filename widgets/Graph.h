#pragma once
// The strip chart drawn: TGraph paints a TGraphModel's layout on one surface (the Graphs page's
// off-screen image, TGraphControl, or a printed page, TGraphPrint).
#include <QColor>
#include <QFont>
#include <QString>
#include <string>
#include <vector>

#include "rules/GraphModel.h"

class QPainter;
class QPaintDevice;
class TRecording;
class TVarRefList;

class TGraph {
 public:
  // Measures font on device (the surface it will draw on).
  TGraph(const TVarRefList* selection, const QFont& font, const QPaintDevice* device, TGraphSurface surface);

  TGraphModel Model;
  QColor Background;
  QFont LabelFont;
  QFont RotatedFont;

  void Layout(const TRecording* recording);
  // The whole chart onto a painter covering the surface.
  void PaintAll(QPainter& p);
  TTraceCache& Traces() { return traces_; }

 private:
  void PaintGraphlet(QPainter& p, const TGraphlet& pane);
  TTraceCache traces_;
};

// Measurements of a font on a device, as the chart uses them.
TGraphMetrics MeasureGraphFont(const QFont& font, const QPaintDevice* device);

// A chart colour from 0xRRGGBB.
QColor GraphColour(uint32_t rgb);
// Text whose top-left corner is at (x, y), on a filled box of its own size.
void BoxedText(QPainter& p, int x, int y, const QString& text, const QColor& background);
