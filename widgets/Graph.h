#pragma once
// The strip chart drawn: TGraph paints a TGraphModel's layout on one surface (the Graphs page's
// off-screen image, TGraphControl, or a printed page, TGraphPrint).
#include <QColor>
#include <QFont>
#include <QRawFont>
#include <QString>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "rules/GraphModel.h"

class QPainter;
class QPaintDevice;
class TRecording;
class TGraphSelection;

class TGraph {
 public:
  // Measures font on device (the surface it will draw on).
  TGraph(const TGraphSelection* selection, const QFont& font, const QPaintDevice* device, TGraphSurface surface);

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
  // The area under a trace, column by column down to the pane's bottom (that closing edge is not
  // stroked), and the trace's line, with a dark edge where its colour is light.
  void PaintFill(QPainter& p, const TGraphlet& pane, const TGraphTrace& trace, const TTrace& points);
  void PaintLine(QPainter& p, const TGraphlet& pane, const TGraphTrace& trace, const TTrace& points);
  TTraceCache traces_;
};

// Short texts drawn again on every cursor move (the values at the cursors): each character's glyph
// is looked up once, so drawing a text costs no layout.
class TGlyphText {
 public:
  explicit TGlyphText(const QFont& font);
  // Draws text with its left end at x and its baseline at y.
  void Draw(QPainter& p, int x, int y, const QString& text);

 private:
  QFont font_;
  QRawFont raw_;
  std::unordered_map<char16_t, std::pair<quint32, qreal>> glyphs_;  // glyph index, advance
};

// Measurements of a font on a device, as the chart uses them.
TGraphMetrics MeasureGraphFont(const QFont& font, const QPaintDevice* device);

// A chart colour from 0xRRGGBB.
QColor GraphColour(uint32_t rgb);
// Text whose top-left corner is at (x, y), on a filled box of its own size.
void BoxedText(QPainter& p, int x, int y, const QString& text, const QColor& background);
QString QText(const std::string& s);
