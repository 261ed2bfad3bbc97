#include "widgets/DecimalEdit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>

#include "widgets/NumberEdit.h"

namespace {

// Digits, an optional leading minus and at most one point; a text without digits ("", "-", ".",
// "-.") reads as zero.
bool Scan(const QString& text, int* decimals, bool* hasDigits) {
  bool point = false;
  *decimals = 0;
  *hasDigits = false;
  for (int i = 0; i < text.size(); ++i) {
    const QChar ch = text[i];
    if (ch == QLatin1Char('-')) {
      if (i != 0) return false;
    } else if (ch == QLatin1Char('.')) {
      if (point) return false;
      point = true;
    } else if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) {
      *hasDigits = true;
      if (point) ++*decimals;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

TDecimalEdit::TDecimalEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new TTextRule(this, [this](const QString& t) { return IsValidFloat(t); }));
  setText(QStringLiteral("0"));
}

bool TDecimalEdit::IsValidFloat(const QString& text) const {
  int decimals = 0;
  bool hasDigits = false;
  if (!Scan(text, &decimals, &hasDigits)) return false;
  if (decimals > decimalPlaces_) return false;
  if (!text.isEmpty()) {
    const double v = hasDigits ? text.toDouble() : 0.0;
    if (!(minValue_ <= v && v <= maxValue_)) return false;
  }
  return true;
}

double TDecimalEdit::Value() {
  if (text() == QLatin1String("-")) setText(QStringLiteral("-0"));
  const QString t = text();
  int decimals = 0;
  bool hasDigits = false;
  if (t.isEmpty() || !Scan(t, &decimals, &hasDigits) || !hasDigits) return 0.0;
  bool ok = false;
  const double v = t.toDouble(&ok);
  return ok ? v : 0.0;
}

QString TDecimalEdit::FloatText(double v) {
  if (!std::isfinite(v)) return QStringLiteral("0");
  if (v == 0) return QStringLiteral("0");
  QString s = QString::number(v, 'g', 15);
  if (s.contains(QLatin1Char('e'))) {
    // Plain digits only: as many decimals as fifteen significant digits need.
    const int magnitude = int(std::floor(std::log10(std::fabs(v))));
    s = QString::number(v, 'f', std::clamp(14 - magnitude, 0, 340));
    if (s.contains(QLatin1Char('.'))) {
      while (s.endsWith(QLatin1Char('0'))) s.chop(1);
      if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
  }
  return s;
}

void TDecimalEdit::SetValue(double v) { setText(FloatText(v)); }

void TDecimalEdit::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const auto mods = event->modifiers();
  const bool ctrl = mods & Qt::ControlModifier, shift = mods & Qt::ShiftModifier;
  if (isReadOnly() || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
      key == Qt::Key_Tab || key == Qt::Key_Backtab) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (shift && !ctrl && key == Qt::Key_Insert) {
    event->accept();
    const QString clip = QGuiApplication::clipboard()->text();
    if (clip.isEmpty() || IsValidFloat(EditCandidate::Replace(*this, clip))) paste();
    return;
  }
  if (shift && !ctrl && key == Qt::Key_Delete) {
    event->accept();
    if (IsValidFloat(EditCandidate::Cut(*this))) cut();
    return;
  }
  if (key == Qt::Key_Delete && !ctrl) {
    event->accept();
    if (IsValidFloat(EditCandidate::Delete(*this))) del();
    return;
  }
  if (key == Qt::Key_Backspace && !ctrl) {
    event->accept();
    if (IsValidFloat(EditCandidate::Backspace(*this))) backspace();
    return;
  }
  const QString typed = key == Qt::Key_Delete ? QString() : EditCandidate::KeyChar(*event);
  if (typed.isEmpty()) {
    // Caret movement, Ctrl+Insert (copy) and the like; anything that edits is still checked.
    QLineEdit::keyPressEvent(event);
    return;
  }
  event->accept();
  if (IsValidFloat(EditCandidate::Replace(*this, typed))) insert(typed);
}

void TDecimalEdit::contextMenuEvent(QContextMenuEvent* event) { ShowCheckedContextMenu(this, event); }
