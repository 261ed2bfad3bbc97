#pragma once
// A one-line edit for a signed decimal number with a limited number of decimals and a range; it
// refuses every keystroke, paste, cut or delete that would leave a text outside those rules.
#include <QLineEdit>

class TDecimalEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TDecimalEdit(QWidget* parent = nullptr);

  // Read: the text as a number (a lone "-" first becomes "-0" in the field; the empty text is 0).
  double Value();
  // Write: the number's shortest general text (up to 15 significant digits, no exponent).
  void SetValue(double v);
  double MinValue() const { return minValue_; }
  void SetMinValue(double v) { minValue_ = v; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double v) { maxValue_ = v; }
  int DecimalPlaces() const { return decimalPlaces_; }
  void SetDecimalPlaces(int v) { decimalPlaces_ = v; }

  bool IsValidFloat(const QString& text) const;
  // The shortest general text of a number.
  static QString FloatText(double v);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  double minValue_ = 0.0;
  double maxValue_ = 0.0;
  int decimalPlaces_ = 2;
};
