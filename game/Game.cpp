#include "game/Game.h"

#include <algorithm>
#include <cmath>

#include "base/IniFile.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTurnRate = 4.2;           // radians a second
constexpr double kThrust = 420.0;           // units a second, a second
constexpr double kDrag = 0.6;               // share of speed lost a second
constexpr double kMaxShipSpeed = 480.0;
constexpr double kBulletSpeed = 620.0;
constexpr double kBulletLife = 1.0;
constexpr double kFireInterval = 0.18;
constexpr double kRespawnDelay = 2.0;
constexpr double kShieldTime = 2.0;
constexpr double kClearRadius = 140.0;      // no rock this near the middle when a ship comes in
constexpr double kNextLevelDelay = 2.0;
constexpr double kRestartDelay = 1.5;       // game over: fire restarts after this long
constexpr double kSaucerBulletSpeed = 360.0;
constexpr double kSaucerBulletLife = 1.6;
constexpr std::array<double, 4> kRockMinSpeed = {0, 90, 60, 35};
constexpr std::array<double, 4> kRockMaxSpeed = {0, 160, 115, 75};

double Wrap(double v, double size) {
  v = std::fmod(v, size);
  return v < 0 ? v + size : v;
}
void WrapPos(TGameVec& p) {
  p.x = Wrap(p.x, kGameWidth);
  p.y = Wrap(p.y, kGameHeight);
}
double WrapDelta(double d, double size) {
  d = std::fmod(d, size);
  if (d > size / 2) d -= size;
  if (d < -size / 2) d += size;
  return d;
}

}  // namespace

uint32_t TGameRandom::Next() {
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

double TGameRandom::Uniform(double lo, double hi) { return lo + (hi - lo) * (Next() / 4294967296.0); }

TGame::TGame(uint64_t seed, int highScore) : random_(seed) {
  world_.HighScore = highScore;
  NewGame();
}

void TGame::NewGame() {
  const int high = world_.HighScore;
  const uint32_t nextRock = world_.NextRockId;
  world_ = TGameWorld{};
  world_.HighScore = high;
  world_.NextRockId = nextRock;
  world_.Ship.Alive = true;
  world_.Ship.Pos = {kGameWidth / 2, kGameHeight / 2};
  world_.Ship.Shielded = kShieldTime;
  world_.SaucerIn = random_.Uniform(10, 18);
  world_.FireWasDown = true;  // a key still held from the game before does not fire at once
  sounds_.clear();
  StartLevel();
}

TGameRock TGame::MakeRock(int size, TGameVec pos) {
  TGameRock r;
  r.Size = std::clamp(size, 1, 3);
  r.Pos = pos;
  const double heading = random_.Uniform(0, 2 * kPi);
  const double speed = random_.Uniform(kRockMinSpeed[static_cast<size_t>(r.Size)], kRockMaxSpeed[static_cast<size_t>(r.Size)]);
  r.Vel = {std::cos(heading) * speed, std::sin(heading) * speed};
  r.Id = world_.NextRockId++;
  r.Angle = random_.Uniform(0, 2 * kPi);
  for (double& s : r.Shape) s = random_.Uniform(0.72, 1.05);
  return r;
}

void TGame::StartLevel() {
  world_.Rocks.clear();
  world_.LevelTime = 0;
  const int count = std::min(3 + world_.Level, 11);
  for (int i = 0; i < count; ++i) {
    // Along the edges: a random place on the border, so none starts on top of the ship.
    TGameVec p;
    if (random_.Chance(0.5)) p = {random_.Uniform(0, kGameWidth), random_.Chance(0.5) ? 0.0 : kGameHeight - 1};
    else p = {random_.Chance(0.5) ? 0.0 : kGameWidth - 1, random_.Uniform(0, kGameHeight)};
    world_.Rocks.push_back(MakeRock(3, p));
  }
}

std::vector<TGameSound> TGame::TakeSounds() {
  std::vector<TGameSound> s;
  s.swap(sounds_);
  return s;
}

bool TGame::ThrustersSound() const {
  return !paused_ && world_.Phase == TGamePhase::Playing && world_.Ship.Alive && world_.Ship.Thrusting;
}
bool TGame::SaucerSound() const { return !paused_ && world_.Saucer.Active; }

TGameVec TGame::Nose(const TGameShip& ship) {
  return {ship.Pos.x + std::sin(ship.Angle) * TGameShip::Radius, ship.Pos.y - std::cos(ship.Angle) * TGameShip::Radius};
}

double TGame::Distance(const TGameVec& a, const TGameVec& b) {
  return std::hypot(WrapDelta(a.x - b.x, kGameWidth), WrapDelta(a.y - b.y, kGameHeight));
}

void TGame::Step(const TGameKeys& keys) {
  if (paused_) return;
  const double dt = kGameStep;
  TGameWorld& w = world_;
  w.Time += dt;
  w.LevelTime += dt;

  if (w.Phase == TGamePhase::GameOver) {
    w.GameOverFor += dt;
    const bool pressed = keys.Fire && !w.FireWasDown;
    w.FireWasDown = keys.Fire;
    if (pressed && w.GameOverFor >= kRestartDelay) {
      NewGame();
      return;
    }
  }

  MoveShip(keys, dt);
  Fire(keys);
  for (TGameRock& r : w.Rocks) {
    r.Pos.x += r.Vel.x * dt;
    r.Pos.y += r.Vel.y * dt;
    WrapPos(r.Pos);
  }
  for (TGameBullet& b : w.Bullets) {
    b.Pos.x += b.Vel.x * dt;
    b.Pos.y += b.Vel.y * dt;
    WrapPos(b.Pos);
    b.Life -= dt;
  }
  std::erase_if(w.Bullets, [](const TGameBullet& b) { return b.Life <= 0; });
  MoveSaucer(dt);
  Collide();

  // A lost ship comes back in the middle once its wait is over and nothing is there.
  if (w.Phase == TGamePhase::Playing && !w.Ship.Alive) {
    w.RespawnIn = std::max(0.0, w.RespawnIn - dt);
    if (w.RespawnIn == 0 && MiddleIsClear()) {
      w.Ship = TGameShip{};
      w.Ship.Alive = true;
      w.Ship.Pos = {kGameWidth / 2, kGameHeight / 2};
      w.Ship.Shielded = kShieldTime;
    }
  }
  // The last rock gone: a short breath, then the next level.
  if (w.Phase == TGamePhase::Playing && w.Rocks.empty()) {
    if (w.NextLevelIn <= 0) w.NextLevelIn = kNextLevelDelay;
    w.NextLevelIn -= dt;
    if (w.NextLevelIn <= 0) {
      w.NextLevelIn = 0;
      ++w.Level;
      StartLevel();
    }
  }
}

void TGame::MoveShip(const TGameKeys& keys, double dt) {
  TGameShip& s = world_.Ship;
  s.Thrusting = false;
  if (!s.Alive) return;
  if (keys.Left) s.Angle -= kTurnRate * dt;
  if (keys.Right) s.Angle += kTurnRate * dt;
  s.Angle = Wrap(s.Angle, 2 * kPi);
  if (keys.Thrust) {
    s.Thrusting = true;
    s.Vel.x += std::sin(s.Angle) * kThrust * dt;
    s.Vel.y -= std::cos(s.Angle) * kThrust * dt;
  }
  const double keep = 1.0 - kDrag * dt;
  s.Vel.x *= keep;
  s.Vel.y *= keep;
  const double speed = std::hypot(s.Vel.x, s.Vel.y);
  if (speed > kMaxShipSpeed) {
    s.Vel.x *= kMaxShipSpeed / speed;
    s.Vel.y *= kMaxShipSpeed / speed;
  }
  s.Pos.x += s.Vel.x * dt;
  s.Pos.y += s.Vel.y * dt;
  WrapPos(s.Pos);
  s.Shielded = std::max(0.0, s.Shielded - dt);
}

void TGame::Fire(const TGameKeys& keys) {
  TGameWorld& w = world_;
  w.FireCooldown = std::max(0.0, w.FireCooldown - kGameStep);
  if (w.Phase == TGamePhase::GameOver) return;
  const bool pressed = keys.Fire && !w.FireWasDown;
  w.FireWasDown = keys.Fire;
  if (!w.Ship.Alive || !keys.Fire) return;
  // A fresh press fires at once; held down, the gun repeats at its own pace.
  if (!pressed && w.FireCooldown > 0) return;
  const auto mine = std::count_if(w.Bullets.begin(), w.Bullets.end(), [](const TGameBullet& b) { return !b.FromSaucer; });
  if (mine >= kGameMaxShipBullets) return;
  TGameBullet b;
  b.Pos = Nose(w.Ship);
  b.Vel = {std::sin(w.Ship.Angle) * kBulletSpeed + w.Ship.Vel.x, -std::cos(w.Ship.Angle) * kBulletSpeed + w.Ship.Vel.y};
  b.Life = kBulletLife;
  w.Bullets.push_back(b);
  w.FireCooldown = kFireInterval;
  sounds_.push_back(TGameSound::Cannon);
}

void TGame::MoveSaucer(double dt) {
  TGameWorld& w = world_;
  TGameSaucer& s = w.Saucer;
  if (!s.Active) {
    if (w.Phase != TGamePhase::Playing) return;
    w.SaucerIn -= dt;
    if (w.SaucerIn > 0) return;
    // A saucer enters from one side at some height and crosses to the other.
    s = TGameSaucer{};
    s.Active = true;
    s.Small = random_.Chance(w.Score >= kGameExtraLifeEvery ? 0.5 : 0.2);
    const bool fromLeft = random_.Chance(0.5);
    s.Pos = {fromLeft ? -s.Radius() : kGameWidth + s.Radius(), random_.Uniform(0.15, 0.85) * kGameHeight};
    s.Vel = {(fromLeft ? 1 : -1) * (s.Small ? 170.0 : 120.0), 0};
    s.FireIn = 1.0;
    s.TurnIn = random_.Uniform(0.8, 1.8);
    w.SaucerIn = random_.Uniform(std::max(4.0, 12.0 - w.Level), std::max(8.0, 20.0 - w.Level));
    return;
  }
  s.Pos.x += s.Vel.x * dt;
  s.Pos.y = Wrap(s.Pos.y + s.Vel.y * dt, kGameHeight);
  if ((s.Vel.x > 0 && s.Pos.x > kGameWidth + s.Radius()) || (s.Vel.x < 0 && s.Pos.x < -s.Radius())) {
    s.Active = false;  // gone off the far side
    return;
  }
  s.TurnIn -= dt;
  if (s.TurnIn <= 0) {
    const double turns[] = {-80.0, 0.0, 80.0};
    s.Vel.y = turns[random_.Next() % 3];
    s.TurnIn = random_.Uniform(0.8, 1.8);
  }
  s.FireIn -= dt;
  if (s.FireIn <= 0 && w.Phase == TGamePhase::Playing) {
    s.FireIn = s.Small ? 0.9 : 1.3;
    double heading = random_.Uniform(0, 2 * kPi);
    if (s.Small && w.Ship.Alive) {
      // The small one aims, not quite perfectly.
      const double dx = WrapDelta(w.Ship.Pos.x - s.Pos.x, kGameWidth), dy = WrapDelta(w.Ship.Pos.y - s.Pos.y, kGameHeight);
      heading = std::atan2(dy, dx) + random_.Uniform(-0.15, 0.15);
    }
    TGameBullet b;
    b.Pos = s.Pos;
    b.Vel = {std::cos(heading) * kSaucerBulletSpeed, std::sin(heading) * kSaucerBulletSpeed};
    b.Life = kSaucerBulletLife;
    b.FromSaucer = true;
    w.Bullets.push_back(b);
  }
}

void TGame::Collide() {
  TGameWorld& w = world_;
  // The ship's bullets against rocks and the saucer.
  for (size_t bi = 0; bi < w.Bullets.size();) {
    TGameBullet& b = w.Bullets[bi];
    bool hit = false;
    if (!b.FromSaucer) {
      for (size_t ri = 0; ri < w.Rocks.size(); ++ri)
        if (Distance(b.Pos, w.Rocks[ri].Pos) < w.Rocks[ri].Radius()) {
          AddScore(kGameRockScore[static_cast<size_t>(w.Rocks[ri].Size)]);
          SplitRock(ri);
          hit = true;
          break;
        }
      if (!hit && w.Saucer.Active && Distance(b.Pos, w.Saucer.Pos) < w.Saucer.Radius()) {
        AddScore(w.Saucer.Small ? kGameSmallSaucerScore : kGameLargeSaucerScore);
        w.Saucer.Active = false;
        sounds_.push_back(TGameSound::Explosion);
        hit = true;
      }
    } else if (w.Ship.Alive && w.Ship.Shielded <= 0 && Distance(b.Pos, w.Ship.Pos) < TGameShip::Radius) {
      LoseShip();
      hit = true;
    }
    if (hit) w.Bullets.erase(w.Bullets.begin() + static_cast<long>(bi));
    else ++bi;
  }
  // The saucer against rocks: both break, nobody scores.
  if (w.Saucer.Active)
    for (size_t ri = 0; ri < w.Rocks.size(); ++ri)
      if (Distance(w.Saucer.Pos, w.Rocks[ri].Pos) < w.Saucer.Radius() + w.Rocks[ri].Radius() * 0.85) {
        w.Saucer.Active = false;
        SplitRock(ri);
        break;
      }
  // The ship against rocks and the saucer: the ship is lost, what it hit breaks and scores.
  if (!w.Ship.Alive || w.Ship.Shielded > 0) return;
  for (size_t ri = 0; ri < w.Rocks.size(); ++ri)
    if (Distance(w.Ship.Pos, w.Rocks[ri].Pos) < TGameShip::Radius * 0.8 + w.Rocks[ri].Radius() * 0.85) {
      AddScore(kGameRockScore[static_cast<size_t>(w.Rocks[ri].Size)]);
      SplitRock(ri);
      LoseShip();
      return;
    }
  if (w.Saucer.Active && Distance(w.Ship.Pos, w.Saucer.Pos) < TGameShip::Radius * 0.8 + w.Saucer.Radius()) {
    AddScore(w.Saucer.Small ? kGameSmallSaucerScore : kGameLargeSaucerScore);
    w.Saucer.Active = false;
    LoseShip();
  }
}

void TGame::SplitRock(size_t index) {
  const TGameRock rock = world_.Rocks[index];
  world_.Rocks.erase(world_.Rocks.begin() + static_cast<long>(index));
  sounds_.push_back(rock.Size == 3 ? TGameSound::Explosion : TGameSound::Boom);
  if (rock.Size == 1) return;
  for (int i = 0; i < 2; ++i) world_.Rocks.push_back(MakeRock(rock.Size - 1, rock.Pos));
}

void TGame::LoseShip() {
  TGameWorld& w = world_;
  w.Ship.Alive = false;
  w.Ship.Thrusting = false;
  sounds_.push_back(TGameSound::Explosion);
  --w.Lives;
  if (w.Lives <= 0) {
    w.Lives = 0;
    w.Phase = TGamePhase::GameOver;
    w.GameOverFor = 0;
    return;
  }
  w.RespawnIn = kRespawnDelay;
}

void TGame::AddScore(int points) {
  TGameWorld& w = world_;
  if (w.Phase != TGamePhase::Playing) return;
  w.Score += points;
  w.HighScore = std::max(w.HighScore, w.Score);
  while (w.Score >= w.NextExtraLife) {
    ++w.Lives;
    w.NextExtraLife += kGameExtraLifeEvery;
  }
}

bool TGame::MiddleIsClear() const {
  const TGameVec middle{kGameWidth / 2, kGameHeight / 2};
  for (const TGameRock& r : world_.Rocks)
    if (Distance(middle, r.Pos) < kClearRadius + r.Radius()) return false;
  for (const TGameBullet& b : world_.Bullets)
    if (b.FromSaucer && Distance(middle, b.Pos) < kClearRadius) return false;
  return !(world_.Saucer.Active && Distance(middle, world_.Saucer.Pos) < kClearRadius);
}

void TGameControls::Press(TGameControl c) {
  const auto i = static_cast<size_t>(c);
  if (i >= 1 && i <= 4) ++held_[i];
}

void TGameControls::Release(TGameControl c) {
  const auto i = static_cast<size_t>(c);
  if (i >= 1 && i <= 4 && held_[i] > 0) --held_[i];
}

TGameKeys TGameControls::Keys() const {
  auto held = [this](TGameControl c) { return held_[static_cast<size_t>(c)] > 0; };
  return TGameKeys{held(TGameControl::Left), held(TGameControl::Right), held(TGameControl::Thrust),
                   held(TGameControl::Fire)};
}

int LoadGameHighScore(const std::string& iniPath) {
  if (iniPath.empty()) return 0;
  TIniFile ini(iniPath);
  return static_cast<int>(std::clamp<long long>(ini.ReadInteger("Game", "HighScore", 0), 0, 999999999));
}

bool SaveGameHighScore(const std::string& iniPath, int score) {
  if (iniPath.empty()) return false;
  TIniFile ini;
  ini.Load(iniPath);  // a missing file starts empty
  if (ini.ReadInteger("Game", "HighScore", 0) >= score) return true;
  ini.WriteInteger("Game", "HighScore", score);
  return ini.Save(iniPath);
}
