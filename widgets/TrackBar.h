#pragma once
// The position track bar: a horizontal slider on which a click moves the handle to the clicked
// place at once (and a drag goes on from there), instead of a page step towards it.
#include <QSlider>

class TTrackBar : public QSlider {
  Q_OBJECT
 public:
  explicit TTrackBar(QWidget* parent = nullptr);
};
