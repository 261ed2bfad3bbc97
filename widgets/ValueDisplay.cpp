#include "widgets/ValueDisplay.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPaintEvent>
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
    : QWidget(parent),
      font_(Arial(11)),
      caption_(name),
      valueFont_(WithPixelSize(font_, 10)),
      unitFont_(WithPixelSize(font_, 8)) {
  setObjectName(name);
  color_ = palette().color(QPalette::Button);
  fontColour_ = palette().color(QPalette::WindowText);
  unitFontColour_ = palette().color(QPalette::ButtonText);
  setAttribute(Qt::WA_OpaquePaintEvent);
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

void TValueDisplay::EnsureLayout() const {
  if (layoutValid_ && layoutSize_ == size()) return;
  const_cast<TValueDisplay*>(this)->CalcSize();
}

void TValueDisplay::Changed(bool relayout) {
  if (relayout) layoutValid_ = false;
  layers_.clear();
  shownText_ = ShownText();
  shownColour_ = ShownColour();
  update();
}

void TValueDisplay::SetColor(const QColor& c) {
  if (!Assign(color_, c)) return;
  Changed(false);
}

void TValueDisplay::SetFont(const QFont& f) {
  if (!Assign(font_, f)) return;
  Changed(true);
}
void TValueDisplay::SetFontColour(const QColor& c) {
  if (!Assign(fontColour_, c)) return;
  Changed(false);
}
void TValueDisplay::SetMargin(int v) {
  if (!Assign(margin_, v)) return;
  Changed(true);
}
void TValueDisplay::SetBorderStyle(TDisplayBorderStyle s) {
  if (!Assign(borderStyle_, s)) return;
  Changed(true);
}
void TValueDisplay::SetCaption(const QString& s) {
  if (!Assign(caption_, s)) return;
  Changed(true);
}
void TValueDisplay::SetCaptionMinSize(int v) {
  if (!Assign(captionMinSize_, v)) return;
  Changed(true);
}
void TValueDisplay::SetCaptionMaxSize(int v) {
  if (!Assign(captionMaxSize_, v)) return;
  Changed(true);
}
void TValueDisplay::SetValueMin(double v) {
  if (!Assign(valueMin_, v)) return;
  Changed(false);
}
void TValueDisplay::SetValueMax(double v) {
  if (!Assign(valueMax_, v)) return;
  Changed(false);
}
void TValueDisplay::SetValueFormat(const QString& f) {
  if (!Assign(valueFormat_, f)) return;
  Changed(true);
}
void TValueDisplay::SetValueFont(const QFont& f) {
  if (!Assign(valueFont_, f)) return;
  Changed(true);
}
void TValueDisplay::SetValueFontColour(const QColor& c) {
  if (!Assign(valueFontColour_, c)) return;
  Changed(false);
}
void TValueDisplay::SetValueFontMinSize(int v) {
  if (!Assign(valueFontMinSize_, v)) return;
  Changed(true);
}
void TValueDisplay::SetValueFontMaxSize(int v) {
  if (!Assign(valueFontMaxSize_, v)) return;
  Changed(true);
}
void TValueDisplay::SetOverflowColour(const QColor& c) {
  if (!Assign(overflowColour_, c)) return;
  Changed(false);
}
void TValueDisplay::SetUnit(const QString& s) {
  if (!Assign(unit_, s)) return;
  Changed(true);
}
void TValueDisplay::SetUnitFont(const QFont& f) {
  if (!Assign(unitFont_, f)) return;
  Changed(true);
}
void TValueDisplay::SetUnitFontColour(const QColor& c) {
  if (!Assign(unitFontColour_, c)) return;
  Changed(false);
}
void TValueDisplay::SetUnitSize(int v) {
  if (!Assign(unitSize_, v)) return;
  Changed(true);
}

double TValueDisplay::ShownValue(bool* overflow) const {
  double v = value_;
  *overflow = false;
  if (v < valueMin_) {
    v = valueMin_;
    *overflow = true;
  } else if (v > valueMax_) {
    v = valueMax_;
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
  return overflow || std::isnan(value_) ? overflowColour_ : valueFontColour_;
}

void TValueDisplay::SetValue(double v) {
  value_ = v;
  const QString text = ShownText();
  const QColor colour = ShownColour();
  // Only the digits change; nothing is drawn when they look the same.
  if (text == shownText_ && colour == shownColour_) return;
  shownText_ = text;
  shownColour_ = colour;
  if (!layoutValid_ || layoutSize_ != size()) {
    update();
    return;
  }
  update(valueBox_);
}

// ---- layout --------------------------------------------------------------------------------

void TValueDisplay::CalcSize() {
  if (layoutSize_ != size()) layers_.clear();
  layoutSize_ = size();
  const int m = margin_;
  const int cw = width(), ch = height();
  switch (borderStyle_) {
    case dbsNone: inner_ = QRect(0, 0, cw, ch); break;
    case dbsRaised: inner_ = QRect(2, 2, cw - 4, ch - 4); break;
    case dbsSingle:
    case dbsSunken: inner_ = QRect(1, 1, cw - 1, ch - 1); break;
  }
  const int ox = inner_.x(), oy = inner_.y(), iw = inner_.width(), ih = inner_.height();

  // Caption: the largest size that still fits the width and 40 % of the height.
  int valueTop = oy + m;
  if (!caption_.isEmpty()) {
    int size = std::max(captionMinSize_, 1);
    while (size <= captionMaxSize_) {
      const QSize e = TextExtent(WithPixelSize(font_, size), caption_);
      if (!(e.width() < iw - 2 * m && e.height() < 0.4 * ih)) break;
      ++size;
    }
    font_.setPixelSize(std::max(1, std::min(size - 1, captionMaxSize_)));
    const QSize e = TextExtent(font_, caption_);
    captionPos_ = QPoint((iw - e.width()) / 2 + ox, oy + m);
    valueTop = captionPos_.y() + e.height() + m;
  } else {
    captionPos_ = QPoint(0, 0);
  }

  // Unit, sized after the caption's font, right-aligned.
  int unitHeight = 0;
  unitBoxWidth_ = 0;
  unitPos_ = QPoint(0, 0);
  if (!unit_.isEmpty()) {
    const int fontSize = font_.pixelSize() > 0 ? font_.pixelSize() : QFontInfo(font_).pixelSize();
    unitFont_.setPixelSize(std::max(1, fontSize * unitSize_ / 100));
    const QSize e = TextExtent(unitFont_, unit_);
    unitBoxWidth_ = e.width() + 2 * m;
    unitPos_.setX(ox + iw - e.width() - 3 * m);
    unitHeight = e.height();
  }

  // Digits: the largest size at which the format's template fits beside the unit.
  valueBox_ = QRect(ox, valueTop, 0, 0);
  if (!valueFormat_.isEmpty()) {
    const QString templ = SizeTemplate(valueFormat_);
    int size = std::max(valueFontMinSize_, 1);
    while (size <= valueFontMaxSize_) {
      const QSize e = TextExtent(WithPixelSize(valueFont_, size), templ);
      if (!(e.width() < iw - 4 * m - unitBoxWidth_ && e.height() < ih - valueTop - 2 * m)) break;
      ++size;
    }
    valueFont_.setPixelSize(std::max(1, std::min(size - 1, valueFontMaxSize_)));
    const QSize e = TextExtent(valueFont_, templ);
    // The box keeps the margin on both sides of the digits inside its one-pixel outline.
    const int boxWidth = e.width() + 2 * m + 2;
    valueBox_ = QRect((iw - boxWidth - unitBoxWidth_) / 2 + ox, valueTop, boxWidth, e.height() + 2 * m);
  }
  unitPos_.setY(valueBox_.y() + valueBox_.height() - unitHeight);
  // The box and the unit are centred as a pair, so the unit follows the box (when the digits
  // reached their largest size it would otherwise stand apart at the right edge).
  if (!unit_.isEmpty() && valueBox_.width() > 0) unitPos_.setX(valueBox_.x() + valueBox_.width() + m);
  layoutValid_ = true;
}

// ---- drawing -------------------------------------------------------------------------------

QPixmap TValueDisplay::BuildStatic(qreal dpr) {
  ++staticBuilds_;
  const QSize device(std::max(1, int(std::ceil(width() * dpr))), std::max(1, int(std::ceil(height() * dpr))));
  QPixmap pm(device);
  pm.setDevicePixelRatio(dpr);
  pm.fill(color_);
  QPainter p(&pm);
  p.setRenderHint(QPainter::TextAntialiasing);
  PaintBevel(p, rect(), borderStyle_, palette());
  if (!caption_.isEmpty()) {
    p.setFont(font_);
    p.setPen(fontColour_);
    p.drawText(captionPos_ + QPoint(0, QFontMetrics(font_).ascent()), caption_);
  }
  if (!unit_.isEmpty()) {
    p.setFont(unitFont_);
    p.setPen(unitFontColour_);
    p.drawText(unitPos_ + QPoint(0, QFontMetrics(unitFont_).ascent()), unit_);
  }
  if (valueBox_.width() > 0 && valueBox_.height() > 0) {
    p.fillRect(valueBox_, Qt::black);
    p.setPen(QPen(QColor(192, 192, 192), 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(valueBox_.adjusted(0, 0, -1, -1));
  }
  return pm;
}

namespace {
const char16_t kGlyphChars[] = u"0123456789.-";
int GlyphIndex(QChar ch) {
  for (int i = 0; i < 12; ++i)
    if (kGlyphChars[i] == ch.unicode()) return i;
  return -1;
}
}  // namespace

std::shared_ptr<TValueDisplay::Glyphs> TValueDisplay::BuildGlyphs(qreal) const {
  auto g = std::make_shared<Glyphs>();
  const QFontMetricsF fm(valueFont_);
  g->pad = std::max(2, valueFont_.pixelSize() / 4);
  for (int i = 0; i < kGlyphs; ++i) g->advance[i] = fm.horizontalAdvance(QChar(kGlyphChars[i]));
  return g;
}

const QPixmap& TValueDisplay::GlyphImage(Glyphs& g, qreal dpr, int colour, int index) const {
  QPixmap& pm = g.image[colour][index];
  if (!pm.isNull()) return pm;
  const QFontMetricsF fm(valueFont_);
  const int w = int(std::ceil(g.advance[index])) + 2 * g.pad;
  const int h = int(std::ceil(fm.height()));
  pm = QPixmap(QSize(int(std::ceil(w * dpr)), int(std::ceil(h * dpr))));
  pm.setDevicePixelRatio(dpr);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(valueFont_);
  p.setPen(colour == 0 ? valueFontColour_ : overflowColour_);
  p.drawText(QPointF(g.pad, fm.ascent()), QString(QChar(kGlyphChars[index])));
  return pm;
}

TValueDisplay::Layer& TValueDisplay::StaticLayerFor(qreal dpr) {
  EnsureLayout();
  for (Layer& l : layers_)
    if (l.dpr == dpr) return l;
  if (layers_.size() >= 2) layers_.erase(layers_.begin());
  layers_.push_back({dpr, BuildStatic(dpr), BuildGlyphs(dpr)});
  return layers_.back();
}

void TValueDisplay::DrawDigits(QPainter& p, Layer& layer) const {
  const int right = valueBox_.x() + valueBox_.width() - 1 - margin_;
  const int top = valueBox_.y() + margin_;
  Glyphs& g = *layer.glyphs;
  const int colour = shownColour_ == valueFontColour_ ? 0 : shownColour_ == overflowColour_ ? 1 : -1;
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
    p.setFont(valueFont_);
    p.setPen(shownColour_);
    const QFontMetricsF fm(valueFont_);
    p.drawText(QPointF(right - fm.horizontalAdvance(shownText_), top + fm.ascent()), shownText_);
    return;
  }
  const qreal dpr = layer.dpr;
  double x = right - width;
  for (QChar ch : shownText_) {
    const int i = GlyphIndex(ch);
    p.drawPixmap(QPointF(std::round(x * dpr) / dpr - g.pad, top), GlyphImage(g, dpr, colour, i));
    x += g.advance[i];
  }
}

void TValueDisplay::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const qreal dpr = PainterPixelRatio(p);
  Layer& layer = StaticLayerFor(dpr);
  p.setClipRect(event->rect());
  p.drawPixmap(QPointF(0, 0), layer.pixmap);
  if (valueFormat_.isEmpty() || valueBox_.width() <= 0) return;
  ++valuePaints_;
  p.setClipRect(valueBox_.adjusted(1, 1, -1, -1), Qt::IntersectClip);
  DrawDigits(p, layer);
}

void TValueDisplay::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  CalcSize();
}

void TValueDisplay::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) Changed(false);
  if (event->type() == QEvent::FontChange) SetFont(font());
}
