#include "windows/AboutForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <random>

#include "game/GameForm.h"
#include "base/WinApp.h"
#include "vars/EcuType.h"

namespace {
QPixmap DrawIcon(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF face(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
  p.setPen(QPen(QColor(40, 40, 40), size * 0.05));
  p.setBrush(QColor(20, 28, 40));
  p.drawEllipse(face);
  const QPointF c = face.center();
  const double r = face.width() / 2;
  // Ticks over 270 degrees, the last quarter in red like a rev counter's limit.
  for (int i = 0; i <= 9; ++i) {
    const double a = (225.0 - i * 30.0) * M_PI / 180.0;
    const QPointF dir(std::cos(a), -std::sin(a));
    p.setPen(QPen(i >= 7 ? QColor(230, 40, 40) : QColor(235, 235, 235), size * 0.04, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + dir * r * 0.68, c + dir * r * 0.84);
  }
  const double needle = (225.0 - 6.2 * 30.0) * M_PI / 180.0;
  p.setPen(QPen(QColor(255, 160, 0), size * 0.06, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(c, c + QPointF(std::cos(needle), -std::sin(needle)) * r * 0.78);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 200, 200));
  p.drawEllipse(c, size * 0.07, size * 0.07);
  return pm;
}
}  // namespace

QString VersionText() {
  char buffer[64] = {};
  TWinApp::FileVersion(buffer, sizeof buffer);
  return QStringLiteral("Version ") + QString::fromUtf8(buffer);
}

QString EcuFamilyText(const TECUType& ecu) { return QString::fromUtf8(ecu.FamilyName()) + QStringLiteral(" ECU"); }

QPixmap ProgramIconPixmap(int size) { return DrawIcon(size); }

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
  return icon;
}

TAboutForm::TAboutForm(const TECUType& ecu, std::string iniPath, QWidget* parent)
    : QDialog(parent), iniPath_(std::move(iniPath)) {
  setObjectName("AboutForm");
  setWindowTitle("About");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);

  icon_ = new QLabel(this);
  icon_->setObjectName("imgIcon");
  icon_->setPixmap(DrawIcon(64));
  icon_->setFixedSize(64, 64);
  icon_->installEventFilter(this);
  product_ = new QLabel("Revscope", this);
  product_->setObjectName("lblProduct");
  QFont big = product_->font();
  big.setPointSizeF(big.pointSizeF() * 1.8);
  big.setBold(true);
  product_->setFont(big);
  version_ = new QLabel(VersionText(), this);
  version_->setObjectName("lblVersion");
  ecu_ = new QLabel(EcuFamilyText(ecu), this);
  ecu_->setObjectName("lblEcu");
  ok_ = new QPushButton("OK", this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(product_);
  texts->addWidget(version_);
  texts->addWidget(ecu_);
  texts->addStretch();
  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  top->addWidget(icon_, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(ok_);
  bottom->addStretch();
  auto* form = new QVBoxLayout(this);
  form->setContentsMargins(16, 16, 16, 12);
  form->addLayout(top, 1);
  form->addSpacing(8);
  form->addLayout(bottom);
  setMinimumWidth(280);
  setFixedSize(sizeHint().expandedTo(QSize(280, 0)));
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* e) {
  if (watched == icon_ && e->type() == QEvent::MouseButtonDblClick &&
      (static_cast<QMouseEvent*>(e)->modifiers() & Qt::ShiftModifier)) {
    OpenGame();
    return true;
  }
  return QDialog::eventFilter(watched, e);
}

TGameForm* TAboutForm::OpenGame() {
  if (!game_) {
    game_ = new TGameForm(iniPath_, std::random_device{}(), nullptr, parentWidget());
    game_->setAttribute(Qt::WA_DeleteOnClose);
  }
  accept();
  game_->show();
  game_->raise();
  game_->activateWindow();
  return game_;
}

TGameForm* TAboutForm::Game() const { return game_.data(); }
