#include "widgets/NumberEdit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>
#include <climits>
#include <cstdint>

// ---- candidate texts -----------------------------------------------------------------------

namespace EditCandidate {

QString Replace(const QLineEdit& edit, const QString& insert) {
  QString t = edit.text();
  if (edit.hasSelectedText()) {
    const int start = edit.selectionStart();
    return t.replace(start, edit.selectedText().size(), insert);
  }
  return t.insert(edit.cursorPosition(), insert);
}

QString Backspace(const QLineEdit& edit) {
  if (edit.hasSelectedText()) return Replace(edit, QString());
  QString t = edit.text();
  const int caret = edit.cursorPosition();
  if (caret > 0) t.remove(caret - 1, 1);
  return t;
}

QString Delete(const QLineEdit& edit) {
  if (edit.hasSelectedText()) return Replace(edit, QString());
  QString t = edit.text();
  const int caret = edit.cursorPosition();
  if (caret < t.size()) t.remove(caret, 1);
  return t;
}

QString Cut(const QLineEdit& edit) {
  return edit.hasSelectedText() ? Replace(edit, QString()) : edit.text();
}

QString KeyChar(const QKeyEvent& event) {
  const auto mods = event.modifiers();
  const int key = event.key();
  if ((mods & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
    return QString(QChar(char16_t(key - Qt::Key_A + 1)));
  if ((mods & Qt::ControlModifier) && key == Qt::Key_Backspace) return QString(QChar(char16_t(0x7F)));
  if (key == Qt::Key_Backspace) return QString(QChar(char16_t(8)));
  return event.text();
}

}  // namespace EditCandidate

void ShowCheckedContextMenu(QLineEdit* edit, QContextMenuEvent* event) {
  QMenu* menu = edit->createStandardContextMenu();
  for (QAction* a : menu->actions())
    if (a->objectName() == QLatin1String("edit-undo") || a->objectName() == QLatin1String("edit-redo"))
      menu->removeAction(a);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

namespace {

bool IsDialogKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_Tab ||
         key == Qt::Key_Backtab;
}

bool ClipboardHasText() {
  const QClipboard* clip = QGuiApplication::clipboard();
  return clip && !clip->text().isEmpty();
}

QString ClipboardText() { return QGuiApplication::clipboard()->text(); }

}  // namespace

// ---- TNumberEdit ---------------------------------------------------------------------------

TNumberEdit::TNumberEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new TTextRule(this, [this](const QString& t) { return SyntaxOk(t); }));
  SetValue(0);
}

int TNumberEdit::Base() const {
  static const int kBases[] = {16, 10, 8, 2};
  return kBases[numBase_];
}

int TNumberEdit::DigitValue(QChar ch) const {
  const char16_t c = ch.unicode();
  if (c >= u'0' && c <= u'9') return c - 48;
  if (c >= u'A' && c <= u'F') return c - 55;
  return -1;
}

int TNumberEdit::BaseStrToInt(const QString& text) const {
  const int base = Base();
  int64_t result = 0;
  for (QChar ch : text) {
    const int d = DigitValue(ch);
    if (d < 0 || d >= base) continue;
    result = result * base + d;
    if (result > INT_MAX) return INT_MAX;
  }
  return int(result);
}

QString TNumberEdit::IntToBaseStr(int value) const {
  if (value <= 0) return QStringLiteral("0");
  return QString::number(value, Base()).toUpper();
}

int TNumberEdit::CheckValue(int value) const {
  if (value < 0) value = 0;
  if (validate_) {
    if (value < minValue_) value = minValue_;
    if (value > maxValue_) value = maxValue_;
  }
  return value;
}

void TNumberEdit::SetValue(int v) { setText(IntToBaseStr(CheckValue(v))); }

void TNumberEdit::SetNumBase(TEditBase base) {
  const int v = Value();
  numBase_ = base;
  SetValue(v);
}

void TNumberEdit::SetMinValue(int v) {
  const int value = Value();
  minValue_ = std::max(v, 0);
  SetValue(value);
}

void TNumberEdit::SetMaxValue(int v) {
  const int value = Value();
  maxValue_ = std::max(v, 0);
  SetValue(value);
}

void TNumberEdit::SetValidate(bool on) {
  const int value = Value();
  validate_ = on;
  SetValue(value);
}

bool TNumberEdit::SyntaxOk(const QString& text) const {
  for (QChar ch : text) {
    const int d = DigitValue(ch);
    if (d < 0 || d >= Base()) return false;
  }
  if (validate_) {
    const int v = BaseStrToInt(text);
    if (v < minValue_ || v > maxValue_) return false;
  }
  return true;
}

bool TNumberEdit::IsValidChar(QChar ch) const { return DigitValue(ch) >= 0; }

bool TNumberEdit::ValidPaste() const {
  return ClipboardHasText() && SyntaxOk(EditCandidate::Replace(*this, ClipboardText()));
}

bool TNumberEdit::ValidCut() const { return SyntaxOk(EditCandidate::Cut(*this)); }

bool TNumberEdit::ValidDelete() const { return SyntaxOk(EditCandidate::Delete(*this)); }

void TNumberEdit::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const auto mods = event->modifiers();
  const bool ctrl = mods & Qt::ControlModifier, shift = mods & Qt::ShiftModifier;
  if (isReadOnly() || IsDialogKey(key)) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  event->accept();
  // Clipboard keys.
  if ((ctrl && key == Qt::Key_C) || (ctrl && !shift && key == Qt::Key_Insert)) {
    copy();
    return;
  }
  if ((ctrl && key == Qt::Key_V) || (shift && !ctrl && key == Qt::Key_Insert)) {
    if (ValidPaste()) paste();
    return;
  }
  if ((ctrl && key == Qt::Key_X) || (shift && key == Qt::Key_Delete)) {
    if (ValidCut()) cut();
    return;
  }
  if (key == Qt::Key_Delete) {
    if (ValidDelete()) del();
    return;
  }
  if (key == Qt::Key_Backspace && !ctrl) {
    if (SyntaxOk(EditCandidate::Backspace(*this))) backspace();
    return;
  }
  // Characters: only digits (letters upper-cased), and only when the result is a number.
  const QString typed = EditCandidate::KeyChar(*event).toUpper();
  if (typed.isEmpty()) {
    QLineEdit::keyPressEvent(event);  // caret movement and the like
    return;
  }
  for (QChar ch : typed)
    if (!IsValidChar(ch)) return;
  if (SyntaxOk(EditCandidate::Replace(*this, typed))) insert(typed);
}

void TNumberEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (event->reason() == Qt::MouseFocusReason) return;
  if (autoSelect_)
    selectAll();
  else if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason ||
           event->reason() == Qt::ShortcutFocusReason)
    deselect();
}

void TNumberEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // A context menu opening is not leaving the field.
  if (event->reason() != Qt::PopupFocusReason) SetValue(Value());
}

void TNumberEdit::contextMenuEvent(QContextMenuEvent* event) { ShowCheckedContextMenu(this, event); }
