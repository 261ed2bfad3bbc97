#pragma once
// A link label: it lights up under the mouse pointer and opens its URL when clicked.
#include <QColor>
#include <QCursor>
#include <QLabel>

#include <functional>

class THighlightLabel : public QLabel {
  Q_OBJECT
 public:
  explicit THighlightLabel(QWidget* parent = nullptr);

  QString URL() const { return url_; }
  void SetUrl(const QString& url) { url_ = url; }
  QColor HighlightColor() const { return highlightColor_; }
  void SetColour(const QColor& c) { highlightColor_ = c; }
  bool Highlighted() const { return highlighted_; }

  // Carries out the system's "open" action; replaceable (tests record the call instead).
  static std::function<void(const QString&)>& Opener();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QString url_;
  QColor highlightColor_ = QColor(255, 255, 0);
  bool highlighted_ = false;
  bool hadCursor_ = false;
  QCursor savedCursor_;
  QColor savedColour_;
};
