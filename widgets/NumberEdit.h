#pragma once
// A one-line edit for a non-negative whole number in base 16, 10, 8 or 2 that refuses every
// keystroke, paste, cut or delete that would leave a text that is not such a number (or, with
// validation on, one outside the range).
#include <QLineEdit>
#include <QValidator>

#include <functional>

enum TEditBase { ebHex = 0, ebDec = 1, ebOct = 2, ebBin = 3 };

// Accepts exactly the texts a predicate accepts; it guards the edit paths that bypass the key
// checks (context menu, drag and drop, input methods).
class TTextRule : public QValidator {
 public:
  TTextRule(QObject* parent, std::function<bool(const QString&)> accept)
      : QValidator(parent), accept_(std::move(accept)) {}
  State validate(QString& input, int&) const override { return accept_(input) ? Acceptable : Invalid; }

 private:
  std::function<bool(const QString&)> accept_;
};

// What an edit's text becomes after a key, given its selection or caret.
namespace EditCandidate {
QString Replace(const QLineEdit& edit, const QString& insert);  // selection (or nothing) replaced
QString Backspace(const QLineEdit& edit);
QString Delete(const QLineEdit& edit);
QString Cut(const QLineEdit& edit);
// The character a key types into a plain line edit (Ctrl+letter gives its control code);
// empty for keys without one.
QString KeyChar(const QKeyEvent& event);
}  // namespace EditCandidate

class TNumberEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TNumberEdit(QWidget* parent = nullptr);

  TEditBase NumBase() const { return numBase_; }
  void SetNumBase(TEditBase base);
  int MinValue() const { return minValue_; }
  void SetMinValue(int v);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int v);
  bool Validate() const { return validate_; }
  void SetValidate(bool on);
  // Read: the text's value; write: the checked value's text in the base.
  int Value() const { return BaseStrToInt(text()); }
  void SetValue(int v);
  // Select the whole text when the field is entered other than by a mouse click.
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool on) { autoSelect_ = on; }

  int Base() const;
  // Text to value in the current base; 0 for the empty text; saturates at the largest integer.
  int BaseStrToInt(const QString& text) const;
  QString IntToBaseStr(int value) const;
  int CheckValue(int value) const;
  bool SyntaxOk(const QString& text) const;
  virtual bool IsValidChar(QChar ch) const;
  bool ValidCopy() const { return true; }
  bool ValidPaste() const;
  bool ValidCut() const;
  bool ValidDelete() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  int DigitValue(QChar ch) const;

  TEditBase numBase_ = ebHex;
  int minValue_ = 0;
  int maxValue_ = 0;
  bool validate_ = false;
  bool autoSelect_ = true;
};

// Shows the edit's context menu without undo and redo (they could bring back a refused text).
void ShowCheckedContextMenu(QLineEdit* edit, QContextMenuEvent* event);
