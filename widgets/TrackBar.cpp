#include "widgets/TrackBar.h"

#include <QProxyStyle>

namespace {
// The style's own look, with the left button setting the value where it is pressed.
class TJumpStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* data) const override {
    if (hint == QStyle::SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};
}  // namespace

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  auto* style = new TJumpStyle();
  style->setParent(this);
  setStyle(style);
}
