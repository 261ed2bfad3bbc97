#include "windows/AboutForm.h"

#include <QBuffer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <random>

#include "game/GameForm.h"
#include "base/WinApp.h"
#include "rules/ProgramIcon.h"
#include "vars/EcuType.h"

namespace {
QColor ColourOf(TIconColour c) { return QColor(c.R, c.G, c.B); }

void PaintCircle(QPainter& p, const TIconCircle& c) {
  p.setPen(c.StrokeWidth > 0 ? QPen(ColourOf(c.Stroke), c.StrokeWidth) : QPen(Qt::NoPen));
  p.setBrush(ColourOf(c.Fill));
  p.drawEllipse(QPointF(c.X, c.Y), c.Radius, c.Radius);
}

QPixmap DrawIcon(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const TProgramIcon icon = ProgramIconShapes(size);
  PaintCircle(p, icon.Face);
  for (const TIconStroke& s : icon.Strokes) {
    p.setPen(QPen(ColourOf(s.Colour), s.Width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s.X1, s.Y1), QPointF(s.X2, s.Y2));
  }
  PaintCircle(p, icon.Hub);
  return pm;
}
}  // namespace

QString VersionText() {
  char buffer[64] = {};
  TWinApp::FileVersion(buffer, sizeof buffer);
  return QStringLiteral("Version ") + QString::fromUtf8(buffer);
}

QString EcuFamilyText(const TECUType& ecu) { return QString::fromUtf8(ecu.FamilyName()) + QStringLiteral(" ECU"); }

std::vector<TIconImage> ProgramIconImages() {
  std::vector<TIconImage> images;
  for (int size : AssociationIconSizes) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    DrawIcon(size).save(&buffer, "PNG");
    images.push_back({size, bytes.toStdString()});
  }
  return images;
}

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
