#pragma once
// The About box's hidden game: a ship among drifting rocks and passing saucers. All of its rules
// are here, in plain C++ on a fixed time step with a seeded random source, so a game replays
// exactly from its seed and keys; the window (Fgame) only draws the world and reads the keys.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The world is kGameWidth x kGameHeight units whatever the window's size; edges wrap around.
constexpr double kGameWidth = 1024.0;
constexpr double kGameHeight = 768.0;
// One step of the rules, in seconds (the window runs 60 a second).
constexpr double kGameStep = 1.0 / 60.0;

constexpr int kGameStartLives = 3;
constexpr int kGameExtraLifeEvery = 10000;
constexpr int kGameMaxShipBullets = 4;
// Score for a rock by size (index 1 small .. 3 large) and for the two saucers.
constexpr std::array<int, 4> kGameRockScore = {0, 100, 50, 20};
constexpr std::array<double, 4> kGameRockRadius = {0, 12, 22, 40};
constexpr int kGameLargeSaucerScore = 200;
constexpr int kGameSmallSaucerScore = 1000;

// A small, fixed random source (xorshift64*), the same on every platform.
class TGameRandom {
 public:
  explicit TGameRandom(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  uint32_t Next();
  double Uniform(double lo, double hi);  // lo <= x < hi
  bool Chance(double p) { return Uniform(0, 1) < p; }

 private:
  uint64_t state_;
};

struct TGameVec {
  double x = 0, y = 0;
};

// One-shot sounds a step asks for; the looping ones are states (ThrustersSound, SaucerSound).
enum class TGameSound { Explosion, Boom, Cannon };

struct TGameKeys {
  bool Left = false, Right = false, Thrust = false, Fire = false;
};

struct TGameShip {
  TGameVec Pos, Vel;
  double Angle = 0;  // radians, 0 pointing up, growing clockwise
  bool Alive = false;
  bool Thrusting = false;
  double Shielded = 0;  // seconds left in which nothing can hit it (just arrived)
  static constexpr double Radius = 14;
};

struct TGameRock {
  TGameVec Pos, Vel;
  int Size = 3;  // 3 large, 2 medium, 1 small
  uint32_t Id = 0;    // a number of its own, so a view can keep its picture
  double Angle = 0;   // the outline's turn; rocks drift without spinning
  std::array<double, 11> Shape{};  // outline radii as a share of the radius
  double Radius() const { return kGameRockRadius[static_cast<size_t>(Size)]; }
};

struct TGameBullet {
  TGameVec Pos, Vel;
  double Life = 0;  // seconds left
  bool FromSaucer = false;
};

struct TGameSaucer {
  bool Active = false;
  bool Small = false;
  TGameVec Pos, Vel;
  double FireIn = 0, TurnIn = 0;
  double Radius() const { return Small ? 10 : 18; }
};

enum class TGamePhase { Playing, GameOver };

// Everything the window draws, and what tests arrange.
struct TGameWorld {
  TGamePhase Phase = TGamePhase::Playing;
  TGameShip Ship;
  std::vector<TGameRock> Rocks;
  std::vector<TGameBullet> Bullets;
  TGameSaucer Saucer;
  int Score = 0, HighScore = 0, Lives = kGameStartLives, Level = 1;
  int NextExtraLife = kGameExtraLifeEvery;
  double Time = 0;             // seconds played
  double LevelTime = 0;        // seconds since the level began
  double RespawnIn = 0;        // after a loss: seconds until the next ship may come in
  double NextLevelIn = 0;      // after the last rock: seconds until the next level
  double SaucerIn = 0;         // seconds until the next saucer
  double FireCooldown = 0;     // seconds until the ship's gun is ready
  double GameOverFor = 0;      // seconds since the game ended
  bool FireWasDown = false;
  uint32_t NextRockId = 1;
};

class TGame {
 public:
  explicit TGame(uint64_t seed, int highScore = 0);

  // Starts over at level 1 with three ships; the high score stays.
  void NewGame();
  // Advances the world by one kGameStep (nothing while paused).
  void Step(const TGameKeys& keys);

  void SetPaused(bool paused) { paused_ = paused; }
  bool Paused() const { return paused_; }

  const TGameWorld& World() const { return world_; }
  TGameWorld& MutableWorld() { return world_; }

  // One-shot sounds asked for since the last call, in order.
  std::vector<TGameSound> TakeSounds();
  // The looping sounds: the thrusters while the ship is pushing, the saucer while one is flying.
  bool ThrustersSound() const;
  bool SaucerSound() const;

  // The ship's nose, for drawing and for where bullets leave.
  static TGameVec Nose(const TGameShip& ship);
  // The shortest distance between two points of the wrapped world.
  static double Distance(const TGameVec& a, const TGameVec& b);

  // A rock of a size at a place with a random drift, spin and outline.
  TGameRock MakeRock(int size, TGameVec pos);
  // Starts the current level: its rocks along the edges, away from the middle.
  void StartLevel();

 private:
  void MoveShip(const TGameKeys& keys, double dt);
  void Fire(const TGameKeys& keys);
  void MoveSaucer(double dt);
  void Collide();
  void SplitRock(size_t index);
  void LoseShip();
  void AddScore(int points);
  bool MiddleIsClear() const;

  TGameRandom random_;
  TGameWorld world_;
  std::vector<TGameSound> sounds_;
  bool paused_ = false;
};

// What the window's keys mean: arrows or A/D/W steer and push, Space fires, P pauses, Esc closes.
enum class TGameControl { None, Left, Right, Thrust, Fire, Pause, Close };

// The keys held down. Two keys may mean the same control (Left and A): it stays held until both
// are up.
class TGameControls {
 public:
  void Press(TGameControl c);
  void Release(TGameControl c);
  // Everything up, as when the window loses the keyboard.
  void ReleaseAll() { held_ = {}; }
  TGameKeys Keys() const;

 private:
  std::array<int, 5> held_{};
};

// The high score kept in the settings file (section "Game", key "HighScore"); 0 when there is none.
int LoadGameHighScore(const std::string& iniPath);
// Writes the score when it beats the stored one; true when the file holds at least score after.
bool SaveGameHighScore(const std::string& iniPath, int score);
