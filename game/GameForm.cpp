#include "game/GameForm.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "sound/QtSoundDevice.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxStepsPerFrame = 6;  // after a stall the game slows down instead of jumping

const QColor kInk(235, 240, 245);
const QColor kRockInk(190, 200, 210);
const QColor kFlame(255, 160, 40);
const QColor kSaucerInk(120, 230, 140);
const QColor kEnemyShot(255, 110, 90);

QPolygonF ShipOutline(const TGameShip& s) {
  // Nose, right wing tip, notch, left wing tip, in the ship's own frame (up is -y).
  const QPointF pts[] = {{0, -TGameShip::Radius}, {10, 12}, {0, 7}, {-10, 12}};
  QTransform t;
  t.translate(s.Pos.x, s.Pos.y);
  t.rotateRadians(s.Angle);
  QPolygonF poly;
  for (const QPointF& p : pts) poly << t.map(p);
  return poly;
}

// A rock's outline around its centre.
QPolygonF RockOutline(const TGameRock& r) {
  QPolygonF poly;
  const size_t n = r.Shape.size();
  for (size_t i = 0; i < n; ++i) {
    const double a = r.Angle + 2 * kPi * static_cast<double>(i) / static_cast<double>(n);
    const double radius = r.Radius() * r.Shape[i];
    poly << QPointF(std::cos(a) * radius, std::sin(a) * radius);
  }
  return poly;
}

// Draws something at its place and again across each edge it overlaps, so it slides out of one
// side while it comes in at the other.
template <typename Draw>
void DrawWrapped(QPainter& p, TGameVec pos, double radius, Draw draw) {
  for (int dx : {-1, 0, 1})
    for (int dy : {-1, 0, 1}) {
      const double x = pos.x + dx * kGameWidth, y = pos.y + dy * kGameHeight;
      if (x + radius < 0 || x - radius > kGameWidth || y + radius < 0 || y - radius > kGameHeight) continue;
      p.save();
      p.translate(dx * kGameWidth, dy * kGameHeight);
      draw();
      p.restore();
    }
}

}  // namespace

TGameControl GameControlForKey(int key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_A: return TGameControl::Left;
    case Qt::Key_Right:
    case Qt::Key_D: return TGameControl::Right;
    case Qt::Key_Up:
    case Qt::Key_W: return TGameControl::Thrust;
    case Qt::Key_Space: return TGameControl::Fire;
    case Qt::Key_P: return TGameControl::Pause;
    case Qt::Key_Escape: return TGameControl::Close;
    default: return TGameControl::None;
  }
}

TGameForm::TGameForm(const std::string& settingsPath, uint64_t seed, TSoundDevice* device, QWidget* parent)
    : QWidget(parent, Qt::Window), settingsPath_(settingsPath), game_(seed, LoadGameHighScore(settingsPath)) {
  setObjectName("GameForm");
  setWindowTitle("Rocks");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(320, 240);
  resize(800, 600);

  if (!device) {
    ownDevice_ = std::make_unique<TQtSoundDevice>();
    device = ownDevice_.get();
  }
  sounds_ = std::make_unique<TSoundManager>(*device, FindBuiltInSound);
  auto load = [this](const char* name, bool loop) {
    auto s = std::make_unique<TSound>(*sounds_);
    s->Loop = loop;
    s->Load(name);  // a sound that cannot play stays silent
    return s;
  };
  explosion_ = load("Explosion", false);
  thrusters_ = load("Thrusters", true);
  boom_ = load("Boom", false);
  cannon_ = load("Cannon", false);
  saucer_ = load("Saucer", true);

  frameTimer_.setTimerType(Qt::PreciseTimer);
  frameTimer_.setInterval(16);
  connect(&frameTimer_, &QTimer::timeout, this, &TGameForm::Frame);
}

TGameForm::~TGameForm() {
  frameTimer_.stop();
  KeepHighScore();
  // The sounds go before their manager and device.
  explosion_.reset();
  thrusters_.reset();
  boom_.reset();
  cannon_.reset();
  saucer_.reset();
}

void TGameForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  clock_.start();
  lag_ = 0;
  frameTimer_.start();
}

void TGameForm::hideEvent(QHideEvent* e) {
  frameTimer_.stop();
  StopLoops();
  controls_.ReleaseAll();
  QWidget::hideEvent(e);
}

void TGameForm::closeEvent(QCloseEvent* e) {
  KeepHighScore();
  QWidget::closeEvent(e);
}

void TGameForm::focusOutEvent(QFocusEvent* e) {
  controls_.ReleaseAll();
  QWidget::focusOutEvent(e);
}

void TGameForm::keyPressEvent(QKeyEvent* e) {
  const TGameControl c = GameControlForKey(e->key());
  if (c == TGameControl::None) return QWidget::keyPressEvent(e);
  if (e->isAutoRepeat()) return;
  if (c == TGameControl::Close) {
    close();
  } else if (c == TGameControl::Pause) {
    game_.SetPaused(!game_.Paused());
    PlaySounds();  // the loops fall silent while paused and come back after
    update();
  } else {
    controls_.Press(c);
  }
}

void TGameForm::keyReleaseEvent(QKeyEvent* e) {
  const TGameControl c = GameControlForKey(e->key());
  if (c == TGameControl::None) return QWidget::keyReleaseEvent(e);
  if (!e->isAutoRepeat()) controls_.Release(c);
}

void TGameForm::Frame() {
  lag_ += static_cast<double>(clock_.restart()) / 1000.0;
  if (game_.Paused()) {  // nothing moves: no frames until it goes on
    lag_ = 0;
    return;
  }
  const int steps = std::min(kMaxStepsPerFrame, static_cast<int>(lag_ / kGameStep));
  lag_ = steps == kMaxStepsPerFrame ? 0 : lag_ - steps * kGameStep;
  if (steps == 0) return;  // nothing moved since the last frame
  Advance(steps);
  update();
}

void TGameForm::Advance(int steps) {
  for (int i = 0; i < steps; ++i) game_.Step(controls_.Keys());
  PlaySounds();
  if (game_.World().Phase != lastPhase_) {
    lastPhase_ = game_.World().Phase;
    if (lastPhase_ == TGamePhase::GameOver) KeepHighScore();
  }
}

void TGameForm::PlaySounds() {
  for (TGameSound s : game_.TakeSounds()) {
    switch (s) {
      case TGameSound::Explosion: explosion_->Play(); break;
      case TGameSound::Boom: boom_->Play(); break;
      case TGameSound::Cannon: cannon_->Play(); break;
    }
  }
  if (game_.ThrustersSound() != thrustersOn_) {
    thrustersOn_ = !thrustersOn_;
    thrustersOn_ ? thrusters_->Play() : thrusters_->Stop();
  }
  if (game_.SaucerSound() != saucerOn_) {
    saucerOn_ = !saucerOn_;
    saucerOn_ ? saucer_->Play() : saucer_->Stop();
  }
}

void TGameForm::StopLoops() {
  if (thrustersOn_) thrusters_->Stop();
  if (saucerOn_) saucer_->Stop();
  thrustersOn_ = saucerOn_ = false;
}

const QPixmap& TGameForm::RockPicture(const TGameRock& rock, double scale, qreal dpr) {
  auto it = rockPictures_.find(rock.Id);
  if (it != rockPictures_.end()) return *it;
  const double side = (2 * rock.Radius() * 1.1 + 4) * scale;
  const int pixels = static_cast<int>(std::ceil(side * dpr));
  QPixmap pm(pixels, pixels);
  pm.setDevicePixelRatio(dpr);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(pixels / dpr / 2, pixels / dpr / 2);
  p.scale(scale, scale);
  p.setPen(QPen(kRockInk, 2.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  p.drawPolygon(RockOutline(rock));
  return *rockPictures_.insert(rock.Id, pm);
}

void TGameForm::KeepHighScore() { SaveGameHighScore(settingsPath_, game_.World().HighScore); }

QRectF TGameForm::Viewport() const {
  const double scale = std::min(width() / kGameWidth, height() / kGameHeight);
  const double w = kGameWidth * scale, h = kGameHeight * scale;
  return QRectF((width() - w) / 2, (height() - h) / 2, w, h);
}

void TGameForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // Every pixel once: the sky, and black bars where the window is not 4:3.
  const QRectF view = Viewport();
  const QRect sky = view.toAlignedRect();
  p.fillRect(sky, QColor(6, 10, 22));
  p.fillRect(QRect(0, 0, sky.left(), height()), Qt::black);
  p.fillRect(QRect(sky.right() + 1, 0, width() - sky.right() - 1, height()), Qt::black);
  p.fillRect(QRect(0, 0, width(), sky.top()), Qt::black);
  p.fillRect(QRect(0, sky.bottom() + 1, width(), height() - sky.bottom() - 1), Qt::black);
  p.setRenderHint(QPainter::Antialiasing);
  p.setClipRect(view);
  p.translate(view.topLeft());
  p.scale(view.width() / kGameWidth, view.height() / kGameHeight);

  const TGameWorld& w = game_.World();
  const double line = 2.0;
  p.setBrush(Qt::NoBrush);

  // Rocks: pictures drawn once at the window's pixel density, so a frame only copies them.
  const double scale = view.width() / kGameWidth;
  const qreal dpr = p.device()->devicePixelRatioF();
  if (scale != picturesScale_ || dpr != picturesDpr_) {
    rockPictures_.clear();
    picturesScale_ = scale;
    picturesDpr_ = dpr;
  }
  p.save();
  p.resetTransform();
  for (const TGameRock& r : w.Rocks) {
    const QPixmap& picture = RockPicture(r, scale, dpr);
    const double half = picture.width() / dpr / 2, reach = r.Radius() * 1.1;
    // Also across each edge it overlaps, so it slides out of one side while it comes in at the other.
    for (int dx : {-1, 0, 1})
      for (int dy : {-1, 0, 1}) {
        const double x = r.Pos.x + dx * kGameWidth, y = r.Pos.y + dy * kGameHeight;
        if (x + reach < 0 || x - reach > kGameWidth || y + reach < 0 || y - reach > kGameHeight) continue;
        // On whole device pixels, so the picture is copied, never resampled.
        p.drawPixmap(QPointF(std::round((view.left() + x * scale - half) * dpr) / dpr,
                             std::round((view.top() + y * scale - half) * dpr) / dpr),
                     picture);
      }
  }
  p.restore();
  if (rockPictures_.size() > 4 * static_cast<int>(w.Rocks.size()) + 64) {
    QHash<uint32_t, QPixmap> kept;
    for (const TGameRock& r : w.Rocks) kept.insert(r.Id, rockPictures_.value(r.Id));
    rockPictures_.swap(kept);
  }

  // The saucer: a dome on a flat hull.
  if (w.Saucer.Active) {
    const double s = w.Saucer.Radius();
    const QPointF c(w.Saucer.Pos.x, w.Saucer.Pos.y);
    QPainterPath hull;
    hull.moveTo(c + QPointF(-s, 0));
    hull.lineTo(c + QPointF(-s * 0.45, -s * 0.4));
    hull.lineTo(c + QPointF(s * 0.45, -s * 0.4));
    hull.lineTo(c + QPointF(s, 0));
    hull.lineTo(c + QPointF(s * 0.5, s * 0.4));
    hull.lineTo(c + QPointF(-s * 0.5, s * 0.4));
    hull.closeSubpath();
    hull.moveTo(c + QPointF(-s, 0));
    hull.lineTo(c + QPointF(s, 0));
    hull.moveTo(c + QPointF(-s * 0.3, -s * 0.4));
    hull.lineTo(c + QPointF(-s * 0.2, -s * 0.75));
    hull.lineTo(c + QPointF(s * 0.2, -s * 0.75));
    hull.lineTo(c + QPointF(s * 0.3, -s * 0.4));
    p.setPen(QPen(kSaucerInk, line, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.drawPath(hull);
  }

  // Shots.
  p.setPen(Qt::NoPen);
  for (const TGameBullet& b : w.Bullets) {
    p.setBrush(b.FromSaucer ? kEnemyShot : kInk);
    p.drawEllipse(QPointF(b.Pos.x, b.Pos.y), 2.6, 2.6);
  }
  p.setBrush(Qt::NoBrush);

  // The ship, blinking while shielded, with its flame while pushing.
  const bool blinkOff = w.Ship.Shielded > 0 && static_cast<int>(w.Time * 8) % 2 == 1;
  if (w.Ship.Alive && !blinkOff) {
    DrawWrapped(p, w.Ship.Pos, TGameShip::Radius + 10, [&] {
      p.setPen(QPen(kInk, line, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
      p.drawPolygon(ShipOutline(w.Ship));
      if (w.Ship.Thrusting && static_cast<int>(w.Time * 30) % 3 != 0) {
        QTransform t;
        t.translate(w.Ship.Pos.x, w.Ship.Pos.y);
        t.rotateRadians(w.Ship.Angle);
        const QPolygonF flame = t.map(QPolygonF({QPointF(-5, 9), QPointF(0, 22), QPointF(5, 9)}));
        p.setPen(QPen(kFlame, line, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawPolyline(flame);
      }
    });
  }

  // Score, high score, ships left and level along the top.
  QFont font("DejaVu Sans Mono");
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(28);
  font.setBold(true);
  p.setFont(font);
  p.setPen(kInk);
  p.drawText(QRectF(24, 12, 300, 36), Qt::AlignLeft | Qt::AlignVCenter, QString::number(w.Score));
  QFont small = font;
  small.setPixelSize(20);
  p.setFont(small);
  p.drawText(QRectF(kGameWidth / 2 - 200, 14, 400, 30), Qt::AlignCenter,
             QStringLiteral("HIGH %1").arg(w.HighScore));
  p.drawText(QRectF(kGameWidth - 224, 14, 200, 30), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("LEVEL %1").arg(w.Level));
  p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  const int shown = std::min(w.Lives, 10);
  for (int i = 0; i < shown; ++i) {
    TGameShip icon;
    icon.Pos = {34.0 + i * 24.0, 68.0};
    QTransform t;
    t.translate(icon.Pos.x, icon.Pos.y);
    t.scale(0.7, 0.7);
    t.translate(-icon.Pos.x, -icon.Pos.y);
    p.drawPolygon(t.map(ShipOutline(icon)));
  }

  // Messages in the middle.
  auto banner = [&](const QString& big, const QString& below) {
    QFont f = font;
    f.setPixelSize(56);
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(QRectF(0, kGameHeight / 2 - 190, kGameWidth, 70), Qt::AlignCenter, big);
    p.setFont(small);
    p.drawText(QRectF(0, kGameHeight / 2 - 110, kGameWidth, 36), Qt::AlignCenter, below);
  };
  if (w.Phase == TGamePhase::GameOver)
    banner(QStringLiteral("GAME OVER"), QStringLiteral("Press Space to play again"));
  else if (game_.Paused())
    banner(QStringLiteral("PAUSED"), QStringLiteral("Press P to go on"));
  else if (w.LevelTime < 2.5)
    banner(QStringLiteral("LEVEL %1").arg(w.Level),
           w.Level == 1 ? QStringLiteral("Arrows or A/D/W to fly, Space to fire, P to pause, Esc to leave") : QString());
}
