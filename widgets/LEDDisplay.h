#pragma once
// An indicator lamp with a caption (switch inputs and outputs).
#include <functional>

#include "widgets/DisplayControl.h"

class TLEDDisplay : public TDisplayControl {
  Q_OBJECT
 public:
  explicit TLEDDisplay(QWidget* parent = nullptr, const QString& name = QString());

  // Color (inherited) is the lamp's colour while off.
  QColor LEDColor() const { return ledColor_; }
  void SetLEDColor(const QColor& c);
  QColor LEDOutlineColor() const { return ledOutlineColor_; }
  void SetLEDOutlineColor(const QColor& c);
  // The lamp's radius.
  int LEDSize() const { return ledSize_; }
  void SetLEDSize(int v);
  // Setting a different value repaints the lamp at once; setting the same value does nothing.
  bool Value() const { return value_; }
  void SetValue(bool on);

  std::function<void(TLEDDisplay*)> OnClick;

 signals:
  void clicked();

 protected:
  void PaintVariablePart(QPainter& canvas) override;
  void CalcComponentSizes() override;
  void CalcComponentPositions() override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QColor ledColor_ = QColor(255, 0, 0);
  QColor ledOutlineColor_;
  int ledSize_ = 8;
  bool value_ = false;
};
