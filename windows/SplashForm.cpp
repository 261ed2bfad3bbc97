#include "windows/SplashForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "windows/AboutForm.h"

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("SplashForm");
  setAttribute(Qt::WA_DeleteOnClose);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(20, 28, 40));
  pal.setColor(QPalette::WindowText, QColor(235, 235, 235));
  setPalette(pal);

  icon_ = new QLabel(this);
  icon_->setObjectName("imgIcon");
  icon_->setPixmap(ProgramIcon().pixmap(64, 64));
  icon_->setFixedSize(64, 64);
  product_ = new QLabel("Revscope", this);
  product_->setObjectName("lblProduct");
  QFont big = product_->font();
  big.setPointSizeF(big.pointSizeF() * 2.4);
  big.setBold(true);
  product_->setFont(big);
  version_ = new QLabel(VersionText(), this);
  version_->setObjectName("lblVersion");

  auto* texts = new QVBoxLayout;
  texts->addStretch();
  texts->addWidget(product_);
  texts->addWidget(version_);
  texts->addStretch();
  auto* form = new QHBoxLayout(this);
  form->setContentsMargins(28, 24, 36, 24);
  form->setSpacing(20);
  form->addWidget(icon_, 0, Qt::AlignVCenter);
  form->addLayout(texts, 1);
  setFixedSize(sizeHint());

  closer_.setSingleShot(true);
  closer_.setInterval(kShowMs);
  connect(&closer_, &QTimer::timeout, this, &QWidget::close);
}

void TSplashForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  closer_.start();
}

void TSplashForm::mousePressEvent(QMouseEvent* e) {
  e->accept();
  close();
}
