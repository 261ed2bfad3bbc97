#include "widgets/HighlightLabel.h"

#include <QDesktopServices>
#include <QPainter>
#include <QStyle>
#include <QUrl>

THighlightLabel::THighlightLabel(QWidget* parent) : QLabel(parent) {}

std::function<void(const QString&)>& THighlightLabel::Opener() {
  static std::function<void(const QString&)> open = [](const QString& url) {
    QDesktopServices::openUrl(QUrl::fromUserInput(url));
  };
  return open;
}

void THighlightLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  if (highlighted_) return;
  hadCursor_ = testAttribute(Qt::WA_SetCursor);
  savedCursor_ = cursor();
  setCursor(Qt::PointingHandCursor);
  QPalette pal = palette();
  savedColour_ = pal.color(QPalette::WindowText);
  pal.setColor(QPalette::WindowText, highlightColor_);
  setPalette(pal);
  highlighted_ = true;
  update();
}

void THighlightLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  if (!highlighted_) return;
  if (hadCursor_)
    setCursor(savedCursor_);
  else
    unsetCursor();
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, savedColour_);
  setPalette(pal);
  highlighted_ = false;
  update();
}

void THighlightLabel::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  if (Opener()) Opener()(url_);  // the outcome is not checked
}

void THighlightLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  int flags = int(QStyle::visualAlignment(layoutDirection(), alignment()));
  if (wordWrap()) flags |= Qt::TextWordWrap;
  const QString t = text();
  const QPalette& pal = palette();
  auto draw = [&](int dx, int dy, const QColor& c) {
    p.setPen(c);
    p.drawText(r.translated(dx, dy), flags, t);
  };
  if (!isEnabled()) {
    draw(1, 1, pal.color(QPalette::Light));
    draw(0, 0, pal.color(QPalette::Dark));
  } else if (highlighted_) {
    draw(1, 1, highlightColor_);
    draw(-1, -1, highlightColor_);
    draw(0, 0, pal.color(QPalette::ButtonText));
  } else {
    draw(0, 0, pal.color(QPalette::WindowText));
  }
}
