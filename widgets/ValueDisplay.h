#pragma once
// A digital readout: caption, digits in a picture format fitted to the control, and a unit.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

#include "widgets/DisplayControl.h"

class TValueDisplay : public QWidget {
  Q_OBJECT
 public:
  explicit TValueDisplay(QWidget* parent = nullptr, const QString& name = QString());

  // Background (button face unless set; a readout laid over another gauge takes its colour).
  QColor Color() const { return color_; }
  void SetColor(const QColor& c);
  // The caption's font; its size is fitted to the control.
  QFont Font() const {
    EnsureLayout();
    return font_;
  }
  void SetFont(const QFont& f);
  QColor FontColour() const { return fontColour_; }
  void SetFontColour(const QColor& c);
  int Margin() const { return margin_; }
  void SetMargin(int v);
  TDisplayBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TDisplayBorderStyle s);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& s);
  int CaptionMinSize() const { return captionMinSize_; }
  void SetCaptionMinSize(int v);
  int CaptionMaxSize() const { return captionMaxSize_; }
  void SetCaptionMaxSize(int v);
  // Stored as given; shown clamped to ValueMin..ValueMax (in OverflowColour when clamped).
  double Value() const { return value_; }
  void SetValue(double v);
  double ValueMin() const { return valueMin_; }
  void SetValueMin(double v);
  double ValueMax() const { return valueMax_; }
  void SetValueMax(double v);
  QString ValueFormat() const { return valueFormat_; }
  void SetValueFormat(const QString& f);
  // The digits' font; its size is fitted to the control.
  QFont ValueFont() const {
    EnsureLayout();
    return valueFont_;
  }
  void SetValueFont(const QFont& f);
  QColor ValueFontColour() const { return valueFontColour_; }
  void SetValueFontColour(const QColor& c);
  int ValueFontMinSize() const { return valueFontMinSize_; }
  void SetValueFontMinSize(int v);
  int ValueFontMaxSize() const { return valueFontMaxSize_; }
  void SetValueFontMaxSize(int v);
  QColor OverflowColour() const { return overflowColour_; }
  void SetOverflowColour(const QColor& c);
  QString Unit() const { return unit_; }
  void SetUnit(const QString& s);
  // The unit's font; its size is UnitSize per cent of the caption font's.
  QFont UnitFont() const {
    EnsureLayout();
    return unitFont_;
  }
  void SetUnitFont(const QFont& f);
  QColor UnitFontColour() const { return unitFontColour_; }
  void SetUnitFontColour(const QColor& c);
  int UnitSize() const { return unitSize_; }
  void SetUnitSize(int v);

  // The value as shown: clamped text and its colour.
  QString ShownText() const;
  QColor ShownColour() const;

  // Text of a value in a picture format: "0" a digit always shown, "#" a digit shown only when
  // significant, "." then placeholders fixing the decimals; rounded to the nearest, half away from
  // zero; a minus sign before negative values ("#" alone shows zero as an empty text).
  static QString FormatValue(const QString& format, double value);

  // Fits the fonts and lays out caption, value box and unit for the current size.
  void CalcSize();

  // Layout for the current size and properties.
  QRect InnerRect() const {
    EnsureLayout();
    return inner_;
  }
  QPoint CaptionPos() const {
    EnsureLayout();
    return captionPos_;
  }
  QRect ValueBox() const {
    EnsureLayout();
    return valueBox_;
  }
  QPoint UnitPos() const {
    EnsureLayout();
    return unitPos_;
  }
  int StaticLayerBuilds() const { return staticBuilds_; }
  int ValuePaints() const { return valuePaints_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Changed(bool relayout);
  // Runs CalcSize when a property or the size changed since it last ran.
  void EnsureLayout() const;
  QPixmap BuildStatic(qreal dpr);
  double ShownValue(bool* overflow) const;

  QColor color_;
  QFont font_;
  QColor fontColour_;
  int margin_ = 1;
  TDisplayBorderStyle borderStyle_ = dbsSunken;
  QString caption_;
  int captionMinSize_ = 4;
  int captionMaxSize_ = 72;
  double value_ = 0;
  double valueMin_ = 0.0;
  double valueMax_ = 100.0;
  QString valueFormat_ = QStringLiteral("##0.00");
  QFont valueFont_;
  QColor valueFontColour_ = QColor(0, 255, 0);
  int valueFontMinSize_ = 4;
  int valueFontMaxSize_ = 72;
  QColor overflowColour_ = QColor(255, 0, 0);
  QString unit_;
  QFont unitFont_;
  QColor unitFontColour_;
  int unitSize_ = 80;

  QRect inner_;
  QPoint captionPos_;
  QRect valueBox_;
  QPoint unitPos_;
  int unitBoxWidth_ = 0;
  bool layoutValid_ = false;
  QSize layoutSize_;

  // Digits, point and minus drawn once (when first shown) in the value font, in the normal and
  // the overflow colour, so that a value change copies a few small images instead of drawing
  // outlines.
  static constexpr int kGlyphs = 12;
  struct Glyphs {
    QPixmap image[2][kGlyphs];
    double advance[kGlyphs] = {};
    int pad = 0;
  };
  struct Layer {
    qreal dpr = 1;
    QPixmap pixmap;
    std::shared_ptr<Glyphs> glyphs;
  };
  Layer& StaticLayerFor(qreal dpr);
  std::shared_ptr<Glyphs> BuildGlyphs(qreal dpr) const;
  const QPixmap& GlyphImage(Glyphs& g, qreal dpr, int colour, int index) const;
  void DrawDigits(QPainter& p, Layer& layer) const;
  std::vector<Layer> layers_;
  QString shownText_;
  QColor shownColour_;
  int staticBuilds_ = 0;
  int valuePaints_ = 0;
};
