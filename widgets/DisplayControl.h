#pragma once
// Base of the dashboard's owner-drawn gauges: border, caption and a cached static layer, with only
// the variable part (needle, pointer, lamp) painted again when the value changes.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QPainter;

enum TDisplayBorderStyle { dbsNone, dbsSingle, dbsSunken, dbsRaised };

// The side a caption sits on.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Stores v in field; false when it already held v (setters then skip the redraw).
template <class T>
bool Assign(T& field, const T& v) {
  if (field == v) return false;
  field = v;
  return true;
}

// Width of the border each style draws.
int BorderWidthOf(TDisplayBorderStyle style);

// Draws the border of the given style around r (crisp at any device pixel ratio).
void PaintBevel(QPainter& canvas, const QRect& r, TDisplayBorderStyle style, const QPalette& palette);

// Width, height and increment of the major or minor ticks of a bar scale.
class TValueTick {
 public:
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Increment() const { return increment_; }
  void SetWidth(int v);
  void SetHeight(int v);
  void SetIncrement(int v);

  std::function<void()> OnChange;

 private:
  void Changed();
  int width_ = 10;
  int height_ = 3;
  int increment_ = 10;
};

// Three coloured value ranges drawn beside a bar scale.
class TValueColour {
 public:
  bool Enabled() const { return enabled_; }
  int Range1From() const { return from_[0]; }
  int Range1To() const { return to_[0]; }
  QColor Range1Colour() const { return colour_[0]; }
  int Range2From() const { return from_[1]; }
  int Range2To() const { return to_[1]; }
  QColor Range2Colour() const { return colour_[1]; }
  int Range3From() const { return from_[2]; }
  int Range3To() const { return to_[2]; }
  QColor Range3Colour() const { return colour_[2]; }
  void SetEnabled(bool v);
  void SetRange1From(int v) { SetFrom(0, v); }
  void SetRange1To(int v) { SetTo(0, v); }
  void SetRange1Colour(const QColor& c) { SetColour(0, c); }
  void SetRange2From(int v) { SetFrom(1, v); }
  void SetRange2To(int v) { SetTo(1, v); }
  void SetRange2Colour(const QColor& c) { SetColour(1, c); }
  void SetRange3From(int v) { SetFrom(2, v); }
  void SetRange3To(int v) { SetTo(2, v); }
  void SetRange3Colour(const QColor& c) { SetColour(2, c); }

  // Range i (0..2).
  int From(int i) const { return from_[i]; }
  int To(int i) const { return to_[i]; }
  QColor Colour(int i) const { return colour_[i]; }
  void SetFrom(int i, int v);
  void SetTo(int i, int v);
  void SetColour(int i, const QColor& c);

  std::function<void()> OnChange;

 private:
  void Changed();
  bool enabled_ = true;
  int from_[3] = {0, 30, 60};
  int to_[3] = {30, 60, 100};
  QColor colour_[3] = {QColor(0, 128, 0), QColor(255, 255, 0), QColor(255, 0, 0)};
};

class TDisplayControl : public QWidget {
  Q_OBJECT
 public:
  explicit TDisplayControl(QWidget* parent = nullptr, const QString& name = QString());
  ~TDisplayControl() override;

  QColor Color() const { return color_; }
  void SetColor(const QColor& c);
  // The caption's font as drawn (the readout answers the size it fitted to the control).
  virtual QFont Font() const { return font(); }
  void SetFont(const QFont& f);
  // Colour of the caption text.
  QColor FontColour() const { return fontColour_; }
  void SetFontColour(const QColor& c);
  int MinWidth() const { return minWidth_; }
  void SetMinWidth(int v) { minWidth_ = v; }
  TDisplayBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TDisplayBorderStyle s);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& s);
  TAlign CaptionAlign() const { return captionAlign_; }
  void SetCaptionAlign(TAlign a);
  int Margin() const { return margin_; }
  void SetMargin(int v);
  // The value's text: the scale labels on the dials, the digits on the readout (which answers the
  // size it fitted to the control).
  virtual QFont ValueFont() const { return valueFont_; }
  void SetValueFont(const QFont& f);
  QColor ValueFontColour() const { return valueFontColour_; }
  void SetValueFontColour(const QColor& c);
  // Colour of a value shown out of range.
  QColor OverflowColour() const { return overflowColour_; }
  void SetOverflowColour(const QColor& c);

  // While suspended, neither the static layer nor the control is drawn; clearing the flag
  // draws everything again.
  bool Suspended() const { return suspended_; }
  void SetSuspended(bool on);

  // Rebuilds the static layer now for the control's size and its screen's pixel ratio; layers
  // cached for other pixel ratios are dropped and rebuilt when next needed.
  virtual void RedrawStatic();

  // Layout, in the control's coordinates, for the current size.
  QRect CaptionRect() const { EnsureLayout(); return captionRect_; }
  QRect ComponentRect() const { EnsureLayout(); return componentRect_; }
  int BorderWidth() const { EnsureLayout(); return borderWidth_; }
  void LayoutNow() const { EnsureLayout(); }

  // How many times a static layer has been built (every pixel ratio counts).
  int StaticLayerBuilds() const { return staticBuilds_; }
  // How many times the variable part has been painted.
  int VariablePaints() const { return variablePaints_; }

 protected:
  virtual void PaintVariablePart(QPainter& canvas) = 0;
  virtual void CalcComponentSizes();
  virtual void CalcComponentPositions();
  virtual void DrawBackground(QPainter& canvas);
  virtual void DrawControl(QPainter& canvas);
  virtual void DrawCaption(QPainter& canvas);
  // The area the variable part covers now; repaints after a value change are limited to the old
  // and the new area.
  virtual QRect VariablePartRect() const { return rect(); }

  // The value range, 0 to 100 unless set. The readout clamps decimals to it and offers it as it is;
  // the dials step and label their scales in whole units and offer it as int (they take whole
  // numbers only, which a double holds exactly).
  double ValueMin() const { return valueMin_; }
  void SetValueMin(double v);
  double ValueMax() const { return valueMax_; }
  void SetValueMax(double v);

  // Any property that changes the drawing: the static layer is rebuilt on the next paint. A control
  // that keeps state derived from its properties refreshes it here too.
  virtual void PropertyChanged();
  // Call with VariablePartRect() taken before the value changed.
  void VariablePartChanged(const QRect& before);
  bool LayoutValid() const { return layoutValid_ && layoutSize_ == size(); }
  // Runs the Calc steps when a property or the size changed since the last layout.
  void EnsureLayout() const;

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

  // Layout results (written by the Calc steps).
  mutable QRect captionRect_;
  mutable QRect componentRect_;
  mutable int borderWidth_ = 1;

 private:
  struct Layer {
    qreal dpr = 1;
    QPixmap pixmap;
  };
  const QPixmap& StaticLayer(qreal dpr);
  QPixmap BuildStatic(qreal dpr);

  QColor color_;
  QColor fontColour_;
  QFont valueFont_;
  QColor valueFontColour_ = QColor(0, 0, 0);
  QColor overflowColour_ = QColor(255, 0, 0);
  double valueMin_ = 0;
  double valueMax_ = 100;
  int minWidth_ = 0;
  TDisplayBorderStyle borderStyle_ = dbsSunken;
  QString caption_;
  TAlign captionAlign_ = alTop;
  int margin_ = 1;
  bool suspended_ = false;
  mutable bool layoutValid_ = false;
  mutable QSize layoutSize_;
  std::vector<Layer> layers_;
  int staticBuilds_ = 0;
  int variablePaints_ = 0;
};

// Text measures as the gauges use them: advance width and ascent + descent.
QSize TextExtent(const QFont& font, const QString& text);

// The pixel ratio a painter really draws at (a widget rendered into a high-density image reports
// the image's ratio here, not the widget's).
qreal PainterPixelRatio(const QPainter& canvas);
