#pragma once
// The vertical bar scale with three colour bands and a pointer (temperatures, throttle, pressure).
#include "widgets/DisplayControl.h"

class TVertMeterDisplay : public TDisplayControl {
  Q_OBJECT
 public:
  explicit TVertMeterDisplay(QWidget* parent = nullptr, const QString& name = QString());

  // Setting the value clamps it to the range and repaints the pointer at once.
  double Value() const { return value_; }
  void SetValue(double v);
  // The scale's range in whole units (0 to 100 unless set).
  int ValueMin() const { return int(TDisplayControl::ValueMin()); }
  void SetValueMin(int v) { TDisplayControl::SetValueMin(v); }
  int ValueMax() const { return int(TDisplayControl::ValueMax()); }
  void SetValueMax(int v) { TDisplayControl::SetValueMax(v); }
  int LineWidth() const { return lineWidth_; }
  void SetLineWidth(int v);
  int PointerSize() const { return pointerSize_; }
  void SetPointerSize(int v);
  // Owned; changing them redraws the scale.
  TValueTick& TickMajor() { return tickMajor_; }
  TValueTick& TickMinor() { return tickMinor_; }
  TValueColour& ValueColour() { return valueColour_; }

  // The y coordinate of a value on the scale (ValueMin at the bottom); a scale whose maximum is
  // not above its minimum puts every value at the bottom.
  int GetPointerPos(double x) const;

  // Layout (valid after layout).
  int LabelHeight() const {
    EnsureLayout();
    return labelHeight_;
  }
  // The labels' font: ValueFont, made smaller when the labels would not fit beside the ticks.
  QFont LabelFont() const {
    EnsureLayout();
    return labelFont_;
  }
  bool LabelsShown() const {
    EnsureLayout();
    return labelsShown_;
  }
  int BarX() const {
    EnsureLayout();
    return barX_;
  }
  int ScaleTop() const {
    EnsureLayout();
    return scaleTop_;
  }
  int ScaleHeight() const {
    EnsureLayout();
    return scaleHeight_;
  }

 protected:
  void PaintVariablePart(QPainter& canvas) override;
  void CalcComponentSizes() override;
  void CalcComponentPositions() override;
  void DrawControl(QPainter& canvas) override;
  void DrawCaption(QPainter& canvas) override;
  QRect VariablePartRect() const override;

 private:
  double Shown(double v) const;

  double value_ = 0;
  int lineWidth_ = 3;
  int pointerSize_ = 10;
  TValueTick tickMajor_;
  TValueTick tickMinor_;
  TValueColour valueColour_;

  QFont labelFont_;
  bool labelsShown_ = true;
  int labelHeight_ = 0;
  int span_ = 1;
  int barX_ = 0;
  int scaleTop_ = 0;
  int scaleHeight_ = 0;
};
