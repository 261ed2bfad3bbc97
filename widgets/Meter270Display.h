#pragma once
// The round dial with a needle (the rev counter).
#include <QPoint>
#include <QPointF>

#include "widgets/DisplayControl.h"

class TMeter270Display : public TDisplayControl {
  Q_OBJECT
 public:
  explicit TMeter270Display(QWidget* parent = nullptr, const QString& name = QString());

  double AngleStart() const { return angleStart_; }
  void SetAngleStart(double v);
  double AngleEnd() const { return angleEnd_; }
  void SetAngleEnd(double v);
  // Setting the value clamps it to the range and repaints the needle at once.
  double Value() const { return value_; }
  void SetValue(double v);
  // The scale's range in whole units (0 to 9500 unless set).
  int ValueMin() const { return int(TDisplayControl::ValueMin()); }
  void SetValueMin(int v) { TDisplayControl::SetValueMin(v); }
  int ValueMax() const { return int(TDisplayControl::ValueMax()); }
  void SetValueMax(int v) { TDisplayControl::SetValueMax(v); }
  QColor NeedleColour() const { return needleColour_; }
  void SetNeedleColour(const QColor& c);
  int ValueRedline() const { return valueRedline_; }
  void SetValueRedline(int v);
  int ScaleSteps() const { return scaleSteps_; }
  void SetScaleSteps(int v) { scaleSteps_ = v; }
  int PointerSize() const { return pointerSize_; }
  void SetPointerSize(int v) { pointerSize_ = v; }
  int CircleMargin() const { return circleMargin_; }
  void SetCircleMargin(int v);
  int ArcWidth() const { return arcWidth_; }
  void SetArcWidth(int v);
  int TickWidth() const { return tickWidth_; }
  void SetTickWidth(int v);
  int TickMajorWidth() const { return tickMajorWidth_; }
  void SetTickMajorWidth(int v);
  int TickMinorWidth() const { return tickMinorWidth_; }
  void SetTickMinorWidth(int v);
  int TickIncrement() const { return tickIncrement_; }
  void SetTickIncrement(int v);
  int TickIncrementMajor() const { return tickIncrementMajor_; }
  void SetTickIncrementMajor(int v);
  int TickIncrementMinor() const { return tickIncrementMinor_; }
  void SetTickIncrementMinor(int v);
  int LabelDivider() const { return labelDivider_; }
  void SetLabelDivider(int v);
  int NeedleBaseRadius() const { return needleBaseRadius_; }
  void SetNeedleBaseRadius(int v);

  // Offset of the point at angle (degrees; 0 points down, angles grow clockwise) and radius,
  // truncated to whole pixels.
  static QPoint GetArcPos(double angle, double radius);
  // The same without truncation, for drawing.
  static QPointF GetArcPosF(double angle, double radius);
  // Angle of a value on the scale.
  double AngleOf(double v) const;
  // Value range used for angles: ValueMax - ValueMin, at least 1.
  int Span() const;

  // Dial geometry (valid after layout).
  QPointF Centre() const {
    EnsureLayout();
    return QPointF(cx_, cy_);
  }
  double Radius() const {
    EnsureLayout();
    return r_;
  }
  // Size factor of the drawing: 1 at the design radius, where tick lengths, the label radius,
  // the needle hub and the label font have their nominal pixel sizes.
  double DrawScale() const {
    EnsureLayout();
    return scale_;
  }
  static constexpr double kDesignRadius = 120.0;

  QRect DialRect() const { return ComponentRect(); }

 protected:
  void PaintVariablePart(QPainter& canvas) override;
  void CalcComponentSizes() override;
  void CalcComponentPositions() override;
  void DrawControl(QPainter& canvas) override;
  void DrawCaption(QPainter& canvas) override;
  QRect VariablePartRect() const override;

 private:
  // Clamped, NaN-free value.
  double Shown(double v) const;
  void NeedlePolygon(double value, QPointF out[4]) const;
  double Len(double nominal) const { return nominal * scale_; }
  double PenWidth(double nominal) const;

  double angleStart_ = 45.0;
  double angleEnd_ = 300.0;
  double value_ = 0;
  QColor needleColour_ = QColor(0, 255, 0);
  int valueRedline_ = 8000;
  int scaleSteps_ = 10;
  int pointerSize_ = 10;
  int circleMargin_ = 4;
  int arcWidth_ = 2;
  int tickWidth_ = 3;
  int tickMajorWidth_ = 2;
  int tickMinorWidth_ = 1;
  int tickIncrement_ = 1000;
  int tickIncrementMajor_ = 500;
  int tickIncrementMinor_ = 250;
  int labelDivider_ = 1;
  int needleBaseRadius_ = 17;

  double cx_ = 0, cy_ = 0, r_ = 0, scale_ = 1;
};
