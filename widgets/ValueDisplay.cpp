#include "widgets/ValueDisplay.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

QFont Arial(int pixelSize) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(pixelSize);
  return f;
}

QFont WithPixelSize(QFont f, int pixelSize) {
  f.setPixelSize(std::max(1, pixelSize));
  return f;
}

// A format's placeholders measured as digits ("#" is as wide as a digit in the fonts the
// dashboard uses; measuring digits keeps the box right for any font).
QString SizeTemplate(const QString& format) {
  QString t = format;
  t.replace(QLatin1Char('#'), QLatin1Char('0'));
  return t;
}

}  // namespace

TValueDisplay::TValueDisplay(QWidget* parent, const QString& name)
    : TDisplayControl(parent, name), unitFont_(Arial(8)) {
  unitFontColour_ = palette().color(QPalette::ButtonText);
  SetColor(palette().color(QPalette::Button));
  SetValueFont(Arial(10));
  SetValueFontColour(QColor(0, 255, 0));
  // The caption starts in plain Arial whatever the parent's font is, as the value and the unit do.
  QFont caption = Arial(11);
  caption.setResolveMask(QFont::AllPropertiesResolved);
  SetFont(caption);
}

// ---- picture formats -----------------------------------------------------------------------

QString TValueDisplay::FormatValue(const QString& format, double value) {
  // The picture: a literal prefix, the run of placeholders and point, a literal suffix.
  auto numeric = [](QChar ch) { return ch == QLatin1Char('0') || ch == QLatin1Char('#') || ch == QLatin1Char('.'); };
  int first = 0;
  while (first < format.size() && !numeric(format[first])) ++first;
  if (first == format.size()) return format;
  int end = first;
  while (end < format.size() && numeric(format[end])) ++end;
  const QString prefix = format.left(first);
  const QString suffix = format.mid(end);
  int decimals = 0, minInt = 0;
  bool seenPoint = false, seenZero = false;
  for (int i = first; i < end; ++i) {
    const QChar ch = format[i];
    if (ch == QLatin1Char('.')) {
      seenPoint = true;
    } else if (seenPoint) {
      ++decimals;
    } else {
      if (ch == QLatin1Char('0')) seenZero = true;
      if (seenZero) ++minInt;
    }
  }
  if (std::isnan(value)) return QString();
  if (std::isinf(value)) return prefix + (value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF")) + suffix;

  const bool negative = value < 0;
  const double a = std::fabs(value);
  // Fifteen significant digits, then round half away from zero at the last shown decimal.
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", a);
  std::string digits;
  digits.push_back(buf[0]);
  int k = 2;
  while (buf[k] != 'e') digits.push_back(buf[k++]);
  int exponent = std::atoi(buf + k + 1);  // a = 0.d1d2... * 10^(exponent + 1)
  // Digits kept: those before the point (exponent + 1) and the decimals.
  int keep = exponent + 1 + decimals;
  if (keep < 0) {
    digits = "0";
    exponent = 0;
    keep = 1 + decimals;
  } else if (keep < int(digits.size())) {
    const bool up = digits[size_t(keep)] >= '5';
    digits.resize(size_t(keep));
    if (up) {
      int i = keep - 1;
      while (i >= 0 && digits[size_t(i)] == '9') digits[size_t(i--)] = '0';
      if (i >= 0) {
        ++digits[size_t(i)];
      } else {
        digits.insert(digits.begin(), '1');
        ++exponent;
        ++keep;
      }
    }
    if (digits.empty()) {
      digits = "0";
      exponent = 0;
      keep = 1 + decimals;
    }
  }
  if (int(digits.size()) < keep) digits.append(size_t(keep - int(digits.size())), '0');
  // Integer part: the first exponent + 1 digits (none when the value is below one).
  const int intCount = std::max(exponent + 1, 0);
  std::string intPart = digits.substr(0, size_t(std::min<int>(intCount, int(digits.size()))));
  std::string fracPart;
  if (exponent + 1 < 0) {
    fracPart.assign(size_t(std::min(-(exponent + 1), decimals)), '0');
    fracPart += digits.substr(0, size_t(decimals - int(fracPart.size())));
  } else {
    fracPart = digits.substr(size_t(intCount), size_t(decimals));
  }
  while (int(fracPart.size()) < decimals) fracPart.push_back('0');
  // Leading zeros go, then zeros are added up to the forced digits.
  size_t nz = intPart.find_first_not_of('0');
  intPart = nz == std::string::npos ? std::string() : intPart.substr(nz);
  if (int(intPart.size()) < minInt) intPart.insert(0, size_t(minInt - int(intPart.size())), '0');

  const bool zero = (intPart + fracPart).find_first_not_of('0') == std::string::npos;
  std::string out;
  if (negative && !zero) out.push_back('-');
  out += intPart;
  if (decimals > 0) {
    out.push_back('.');
    out += fracPart;
  }
  return prefix + QString::fromStdString(out) + suffix;
}

// ---- properties ----------------------------------------------------------------------------

void TValueDisplay::PropertyChanged() {
  TDisplayControl::PropertyChanged();
  shownText_ = ShownText();
  shownColour_ = ShownColour();
}

void TValueDisplay::SetCaptionMinSize(int v) {
  if (!Assign(captionMinSize_, v)) return;
  PropertyChanged();
}
void TValueDisplay::SetCaptionMaxSize(int v) {
  if (!Assign(captionMaxSize_, v)) return;
  PropertyChanged();
}
void TValueDisplay::SetValueFormat(const QString& f) {
  if (!Assign(valueFormat_, f)) return;
  PropertyChanged();
}
void TValueDisplay::SetValueFontMinSize(int v) {
  if (!Assign(valueFontMinSize_, v)) return;
  PropertyChanged();
}
void TValueDisplay::SetValueFontMaxSize(int v) {
  if (!Assign(valueFontMaxSize_, v)) return;
  PropertyChanged();
}
void TValueDisplay::SetUnit(const QString& s) {
  if (!Assign(unit_, s)) return;
  PropertyChanged();
}
void TValueDisplay::SetUnitFont(const QFont& f) {
  if (!Assign(unitFont_, f)) return;
  PropertyChanged();
}
void TValueDisplay::SetUnitFontColour(const QColor& c) {
  if (!Assign(unitFontColour_, c)) return;
  PropertyChanged();
}
void TValueDisplay::SetUnitSize(int v) {
  if (!Assign(unitSize_, v)) return;
  PropertyChanged();
}

double TValueDisplay::ShownValue(bool* overflow) const {
  double v = value_;
  *overflow = false;
  if (v < ValueMin()) {
    v = ValueMin();
    *overflow = true;
  } else if (v > ValueMax()) {
    v = ValueMax();
    *overflow = true;
  }
  return v;
}

QString TValueDisplay::ShownText() const {
  bool overflow;
  return FormatValue(valueFormat_, ShownValue(&overflow));
}

QColor TValueDisplay::ShownColour() const {
  bool overflow;
  ShownValue(&overflow);
  return overflow || std::isnan(value_) ? OverflowColour() : ValueFontColour();
}

void TValueDisplay::SetValue(double v) {
  value_ = v;
  const QString text = ShownText();
  const QColor colour = ShownColour();
  // Only the digits change; nothing is drawn when they look the same.
  if (text == shownText_ && colour == shownColour_) return;
  const QRect before = LayoutValid() ? VariablePartRect() : QRect();
  shownText_ = text;
  shownColour_ = colour;
  VariablePartChanged(before);
}

// ---- layout --------------------------------------------------------------------------------

void TValueDisplay::CalcComponentSizes() {
  // Every property change and every new size lays the control out again: the digit images are
  // made again for the fonts and colours it then has.
  glyphs_.clear();
  const int m = Margin();
  const int cw = width(), ch = height();
  switch (BorderStyle()) {
    case dbsNone: inner_ = QRect(0, 0, cw, ch); break;
    case dbsRaised: inner_ = QRect(2, 2, cw - 4, ch - 4); break;
    case dbsSingle:
    case dbsSunken: inner_ = QRect(1, 1, cw - 1, ch - 1); break;
  }
  const int iw = inner_.width(), ih = inner_.height();

  // Caption: the largest size that still fits the width and 40 % of the height.
  fittedFont_ = font();
  QSize caption(0, 0);
  if (!Caption().isEmpty()) {
    int size = std::max(captionMinSize_, 1);
    while (size <= captionMaxSize_) {
      const QSize e = TextExtent(WithPixelSize(fittedFont_, size), Caption());
      if (!(e.width() < iw - 2 * m && e.height() < 0.4 * ih)) break;
      ++size;
    }
    fittedFont_.setPixelSize(std::max(1, std::min(size - 1, captionMaxSize_)));
    caption = TextExtent(fittedFont_, Caption());
  }
  captionRect_.setSize(caption);
  const int valueTop = inner_.y() + m + (Caption().isEmpty() ? 0 : caption.height() + m);

  // Unit, sized after the caption's font.
  fittedUnitFont_ = unitFont_;
  unitExtent_ = QSize(0, 0);
  unitBoxWidth_ = 0;
  if (!unit_.isEmpty()) {
    const int fontSize = fittedFont_.pixelSize() > 0 ? fittedFont_.pixelSize() : QFontInfo(fittedFont_).pixelSize();
    fittedUnitFont_.setPixelSize(std::max(1, fontSize * unitSize_ / 100));
    unitExtent_ = TextExtent(fittedUnitFont_, unit_);
    unitBoxWidth_ = unitExtent_.width() + 2 * m;
  }

  // Digits: the largest size at which the format's template fits beside the unit.
  fittedValueFont_ = TDisplayControl::ValueFont();
  QSize box(0, 0);
  if (!valueFormat_.isEmpty()) {
    const QString templ = SizeTemplate(valueFormat_);
    int size = std::max(valueFontMinSize_, 1);
    while (size <= valueFontMaxSize_) {
      const QSize e = TextExtent(WithPixelSize(fittedValueFont_, size), templ);
      if (!(e.width() < iw - 4 * m - unitBoxWidth_ && e.height() < ih - valueTop - 2 * m)) break;
      ++size;
    }
    fittedValueFont_.setPixelSize(std::max(1, std::min(size - 1, valueFontMaxSize_)));
    const QSize e = TextExtent(fittedValueFont_, templ);
    // The box keeps the margin on both sides of the digits inside its one-pixel outline.
    box = QSize(e.width() + 2 * m + 2, e.height() + 2 * m);
  }
  componentRect_.setSize(box);
}

void TValueDisplay::CalcComponentPositions() {
  const int m = Margin();
  const int ox = inner_.x(), oy = inner_.y(), iw = inner_.width();
  // The caption is centred at the top; the value box below it is centred together with the unit.
  captionRect_.moveTo(Caption().isEmpty() ? QPoint(0, 0) : QPoint((iw - captionRect_.width()) / 2 + ox, oy + m));
  const int valueTop = Caption().isEmpty() ? oy + m : captionRect_.y() + captionRect_.height() + m;
  componentRect_.moveTo(valueFormat_.isEmpty() ? ox : (iw - componentRect_.width() - unitBoxWidth_) / 2 + ox, valueTop);
  // The unit stands on the box's bottom line, right-aligned; next to the box when there is one
  // (when the digits reached their largest size it would otherwise stand apart at the right edge).
  unitPos_ = QPoint(0, componentRect_.y() + componentRect_.height() - unitExtent_.height());
  if (!unit_.isEmpty())
    unitPos_.setX(componentRect_.width() > 0 ? componentRect_.x() + componentRect_.width() + m
                                             : ox + iw - unitExtent_.width() - 3 * m);
}

// ---- drawing -------------------------------------------------------------------------------

void TValueDisplay::DrawControl(QPainter& canvas) {
  // The static parts are drawn aliased: the box's outline lies on whole pixels.
  canvas.setRenderHint(QPainter::Antialiasing, false);
  const QRect box = componentRect_;
  if (box.width() > 0 && box.height() > 0) {
    canvas.fillRect(box, Qt::black);
    canvas.setPen(QPen(QColor(192, 192, 192), 0));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawRect(box.adjusted(0, 0, -1, -1));
  }
}

// The readout's two labels, the caption and then the unit (without a value box the unit moves up
// into the caption's line and is drawn over it).
void TValueDisplay::DrawCaption(QPainter& canvas) {
  canvas.setRenderHint(QPainter::Antialiasing, false);
  if (!Caption().isEmpty()) {
    canvas.setFont(fittedFont_);
    canvas.drawText(captionRect_.topLeft() + QPoint(0, QFontMetrics(fittedFont_).ascent()), Caption());
  }
  if (!unit_.isEmpty()) {
    canvas.setFont(fittedUnitFont_);
    canvas.setPen(unitFontColour_);
    canvas.drawText(unitPos_ + QPoint(0, QFontMetrics(fittedUnitFont_).ascent()), unit_);
  }
}

namespace {
const char16_t kGlyphChars[] = u"0123456789.-";
int GlyphIndex(QChar ch) {
  for (int i = 0; i < 12; ++i)
    if (kGlyphChars[i] == ch.unicode()) return i;
  return -1;
}
}  // namespace

TValueDisplay::Glyphs& TValueDisplay::GlyphsFor(qreal dpr) {
  for (Glyphs& g : glyphs_)
    if (g.dpr == dpr) return g;
  if (glyphs_.size() >= 2) glyphs_.erase(glyphs_.begin());
  Glyphs& g = glyphs_.emplace_back();
  g.dpr = dpr;
  g.font = fittedValueFont_;
  g.colour[0] = ValueFontColour();
  g.colour[1] = OverflowColour();
  const QFontMetricsF fm(g.font);
  g.pad = std::max(2, g.font.pixelSize() / 4);
  for (int i = 0; i < kGlyphs; ++i) g.advance[i] = fm.horizontalAdvance(QChar(kGlyphChars[i]));
  return g;
}

const QPixmap& TValueDisplay::GlyphImage(Glyphs& g, int colour, int index) const {
  QPixmap& pm = g.image[colour][index];
  if (!pm.isNull()) return pm;
  const QFontMetricsF fm(g.font);
  const int w = int(std::ceil(g.advance[index])) + 2 * g.pad;
  const int h = int(std::ceil(fm.height()));
  pm = QPixmap(QSize(int(std::ceil(w * g.dpr)), int(std::ceil(h * g.dpr))));
  pm.setDevicePixelRatio(g.dpr);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(g.font);
  p.setPen(g.colour[colour]);
  p.drawText(QPointF(g.pad, fm.ascent()), QString(QChar(kGlyphChars[index])));
  return pm;
}

void TValueDisplay::DrawDigits(QPainter& p, Glyphs& g) const {
  const QRect box = componentRect_;
  const int right = box.x() + box.width() - 1 - Margin();
  const int top = box.y() + Margin();
  const int colour = shownColour_ == g.colour[0] ? 0 : shownColour_ == g.colour[1] ? 1 : -1;
  double width = 0;
  bool cached = colour >= 0;
  for (QChar ch : shownText_) {
    const int i = GlyphIndex(ch);
    if (i < 0) {
      cached = false;
      break;
    }
    width += g.advance[i];
  }
  if (!cached) {
    // Other characters (a format's literal text): drawn as text.
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(g.font);
    p.setPen(shownColour_);
    const QFontMetricsF fm(g.font);
    p.drawText(QPointF(right - fm.horizontalAdvance(shownText_), top + fm.ascent()), shownText_);
    return;
  }
  double x = right - width;
  for (QChar ch : shownText_) {
    const int i = GlyphIndex(ch);
    p.drawPixmap(QPointF(std::round(x * g.dpr) / g.dpr - g.pad, top), GlyphImage(g, colour, i));
    x += g.advance[i];
  }
}

void TValueDisplay::PaintVariablePart(QPainter& canvas) {
  const QRect box = componentRect_;
  if (valueFormat_.isEmpty() || box.width() <= 0) return;
  canvas.setRenderHint(QPainter::Antialiasing, false);
  canvas.setClipRect(box.adjusted(1, 1, -1, -1), Qt::IntersectClip);
  DrawDigits(canvas, GlyphsFor(PainterPixelRatio(canvas)));
}
