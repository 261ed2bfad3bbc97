#pragma once
// The splash window: the product's name, its version and the program's icon, on a frameless
// window that closes itself after a while or on a click. Start-up does not show it.
#include <QTimer>
#include <QWidget>

class QLabel;

class TSplashForm : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kShowMs = 2500;

  explicit TSplashForm(QWidget* parent = nullptr);

  QLabel* ProductLabel() const { return product_; }
  QLabel* VersionLabel() const { return version_; }
  QLabel* IconLabel() const { return icon_; }
  // Milliseconds from showing to closing.
  int ShowMs() const { return closer_.interval(); }

 protected:
  void showEvent(QShowEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  QLabel* icon_ = nullptr;
  QLabel* product_ = nullptr;
  QLabel* version_ = nullptr;
  QTimer closer_;
};
