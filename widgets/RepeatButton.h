#pragma once
// A flat button that repeats its click while held down.
#include <QToolButton>

class QTimer;

enum TTimeBtnStateFlag { tbFocusRect = 1, tbAllowTimer = 2 };
using TTimeBtnState = int;

class TRepeatButton : public QToolButton {
  Q_OBJECT
 public:
  explicit TRepeatButton(QWidget* parent = nullptr);

  int InitialRepeatDelay() const { return initialRepeatDelay_; }
  void SetInitialRepeatDelay(int ms) { initialRepeatDelay_ = ms; }
  int RepeatDelay() const { return repeatDelay_; }
  void SetRepeatDelay(int ms) { repeatDelay_ = ms; }
  TTimeBtnState TimeBtnState() const { return timeBtnState_; }
  void SetTimeBtnState(TTimeBtnState s);

  // The repeat timer (none until the button is first pressed with repeating allowed).
  const QTimer* RepeatTimer() const { return timer_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // One repeat: from now on the shorter delay; a click while the button is still held.
  void TimerExpired();

 private:
  int initialRepeatDelay_ = 200;
  int repeatDelay_ = 100;
  TTimeBtnState timeBtnState_ = 0;
  QTimer* timer_ = nullptr;
};
