#pragma once
// A digital readout: caption, digits in a picture format fitted to the control, and a unit.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

#include "widgets/DisplayControl.h"

// Background (button face unless set; a readout laid over another gauge takes its colour),
// border, caption, margin, value range, value font and colours, and the cached static layer
// (caption, unit and the value box) come from TDisplayControl; the digits are the variable part.
class TValueDisplay : public TDisplayControl {
  Q_OBJECT
 public:
  explicit TValueDisplay(QWidget* parent = nullptr, const QString& name = QString());

  // The caption's font as fitted to the control; SetFont gives its face.
  QFont Font() const override {
    EnsureLayout();
    return fittedFont_;
  }
  int CaptionMinSize() const { return captionMinSize_; }
  void SetCaptionMinSize(int v);
  int CaptionMaxSize() const { return captionMaxSize_; }
  void SetCaptionMaxSize(int v);
  // Stored as given; shown clamped to ValueMin..ValueMax (in OverflowColour when clamped).
  double Value() const { return value_; }
  void SetValue(double v);
  using TDisplayControl::ValueMin;
  using TDisplayControl::SetValueMin;
  using TDisplayControl::ValueMax;
  using TDisplayControl::SetValueMax;
  QString ValueFormat() const { return valueFormat_; }
  void SetValueFormat(const QString& f);
  // The digits' font as fitted to the control; SetValueFont gives its face.
  QFont ValueFont() const override {
    EnsureLayout();
    return fittedValueFont_;
  }
  int ValueFontMinSize() const { return valueFontMinSize_; }
  void SetValueFontMinSize(int v);
  int ValueFontMaxSize() const { return valueFontMaxSize_; }
  void SetValueFontMaxSize(int v);
  QString Unit() const { return unit_; }
  void SetUnit(const QString& s);
  // The unit's font; its size is UnitSize per cent of the caption font's.
  QFont UnitFont() const {
    EnsureLayout();
    return fittedUnitFont_;
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

  // Layout for the current size and properties: the area inside the border, the caption's
  // top left corner, the value box (the component rectangle) and the unit's top left corner.
  QRect InnerRect() const {
    EnsureLayout();
    return inner_;
  }
  QPoint CaptionPos() const { return CaptionRect().topLeft(); }
  QRect ValueBox() const { return ComponentRect(); }
  QPoint UnitPos() const {
    EnsureLayout();
    return unitPos_;
  }

 protected:
  // Fits the fonts and sizes the caption, the value box and the unit.
  void CalcComponentSizes() override;
  void CalcComponentPositions() override;
  // The value box.
  void DrawControl(QPainter& canvas) override;
  // The caption and the unit.
  void DrawCaption(QPainter& canvas) override;
  // The digits.
  void PaintVariablePart(QPainter& canvas) override;
  QRect VariablePartRect() const override { return componentRect_; }
  void PropertyChanged() override;

 private:
  double ShownValue(bool* overflow) const;

  int captionMinSize_ = 4;
  int captionMaxSize_ = 72;
  double value_ = 0;
  QString valueFormat_ = QStringLiteral("##0.00");
  int valueFontMinSize_ = 4;
  int valueFontMaxSize_ = 72;
  QString unit_;
  QFont unitFont_;
  QColor unitFontColour_;
  int unitSize_ = 80;

  // Layout results.
  QRect inner_;
  QFont fittedFont_;
  QFont fittedValueFont_;
  QFont fittedUnitFont_;
  QSize unitExtent_;
  int unitBoxWidth_ = 0;
  QPoint unitPos_;

  // Digits, point and minus drawn once (when first shown) in the fitted value font, in the
  // normal and the overflow colour, so that a value change copies a few small images instead of
  // drawing outlines. Kept for at most two pixel ratios, like the static layer, until the next
  // layout.
  static constexpr int kGlyphs = 12;
  struct Glyphs {
    qreal dpr = 1;
    QFont font;
    QColor colour[2];
    QPixmap image[2][kGlyphs];
    double advance[kGlyphs] = {};
    int pad = 0;
  };
  Glyphs& GlyphsFor(qreal dpr);
  const QPixmap& GlyphImage(Glyphs& g, int colour, int index) const;
  void DrawDigits(QPainter& p, Glyphs& g) const;
  std::vector<Glyphs> glyphs_;

  // The text and colour the digits show (refreshed by every value or property change).
  QString shownText_;
  QColor shownColour_;
};
