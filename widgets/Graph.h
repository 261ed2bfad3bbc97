#pragma once
// The strip chart drawn: TGraph paints a TGraphModel's layout on one surface (the Graphs page's
// off-screen image, TGraphControl, or a printed page, TGraphPrint).
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "rules/GraphModel.h"

class QPainter;
class QPaintDevice;
class TRecording;
class TGraphSelection;

// A line drawn in a pane beside its own (a lap, another run, the time gained on a lap), placed
// already, with its colour and pen width.
struct TPaneLine {
  TTrace Points;
  uint32_t Colour = 0;
  int Width = 1;
  bool Edge = false;  // a light colour gets a dark edge (lines of lighter shades do without)
};

class TGraph {
 public:
  // Measures font on device (the surface it will draw on).
  TGraph(const TGraphSelection* selection, const QFont& font, const QPaintDevice* device, TGraphSurface surface);

  TGraphModel Model;
  QColor Background;
  QFont LabelFont;
  QFont RotatedFont;

  // Lines drawn in a pane under its own (none when unset), and whether a pane draws its own.
  std::function<std::vector<TPaneLine>(const TGraphlet&)> LinesUnder;
  bool OwnTraces = true;

  void Layout(const TRecording* recording);
  // The whole chart onto a painter covering the surface.
  void PaintAll(QPainter& p);
  TTraceCache& Traces() { return traces_; }

 private:
  void PaintGraphlet(QPainter& p, const TGraphlet& pane);
  // The area under a trace, column by column down to the pane's bottom (that closing edge is not
  // stroked), and the trace's line, with a dark edge where its colour is light.
  void PaintFill(QPainter& p, const TGraphlet& pane, const TGraphTrace& trace, const TTrace& points);
  void PaintLine(QPainter& p, const TGraphlet& pane, uint32_t colour, int width, const TTrace& points, bool edge = true);
  TTraceCache traces_;
};

// Texts on one ground that are drawn again on every cursor move (the values at the cursors). Each
// character is drawn once into a tile at the pixel ratio; a text is its characters' tiles copied
// side by side into an image, which costs no layout and no blending. The characters sit on whole
// device pixels and are not kerned.
class TTileText {
 public:
  TTileText(const QFont& font, const QColor& ground);
  // The text as an image at the pixel ratio, cut short with "…" where it would be wider than
  // maxWidth logical pixels.
  QImage Render(const QString& text, qreal dpr, int maxWidth);

 private:
  const QImage& Tile(QChar c);
  QFont font_;
  QColor ground_;
  qreal dpr_ = 0;
  std::unordered_map<char16_t, QImage> tiles_;
};

// Measurements of a font on a device, as the chart uses them.
TGraphMetrics MeasureGraphFont(const QFont& font, const QPaintDevice* device);

// A chart colour from 0xRRGGBB.
QColor GraphColour(uint32_t rgb);
// Text whose top-left corner is at (x, y), on a filled box of its own size.
void BoxedText(QPainter& p, int x, int y, const QString& text, const QColor& background);
QString QText(const std::string& s);
