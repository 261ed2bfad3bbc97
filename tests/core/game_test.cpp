// The hidden game's rules, stepped by hand: motion and wrap-around, the gun, splitting rocks and
// their scores, losing ships, game over and restart, levels, saucers and pausing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "game/Game.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

TGameKeys Keys(bool left, bool right, bool thrust, bool fire) { return TGameKeys{left, right, thrust, fire}; }
const TGameKeys kNone{};

void Steps(TGame& g, int steps, const TGameKeys& keys = {}) {
  for (int i = 0; i < steps; ++i) g.Step(keys);
}

// A quiet world: the ship alone in the middle, unshielded, no saucer on its way.
TGame Quiet(uint64_t seed = 7) {
  TGame g(seed);
  TGameWorld& w = g.MutableWorld();
  w.Rocks.clear();
  w.Ship.Shielded = 0;
  w.SaucerIn = 1e9;
  w.NextLevelIn = 1e9;  // the empty field does not start the next level
  w.FireWasDown = false;
  g.TakeSounds();
  return g;
}

TGameRock RockAt(TGame& g, int size, double x, double y) {
  TGameRock r = g.MakeRock(size, {x, y});
  r.Vel = {0, 0};
  return r;
}

TEST(Game, TheSameSeedAndKeysReplayExactly) {
  TGame a(42), b(42), c(43);
  for (int i = 0; i < 1200; ++i) {
    const TGameKeys k = Keys(i % 90 < 20, false, i % 50 < 30, i % 7 == 0);
    a.Step(k);
    b.Step(k);
    c.Step(k);
  }
  const TGameWorld &wa = a.World(), &wb = b.World(), &wc = c.World();
  ASSERT_EQ(wa.Rocks.size(), wb.Rocks.size());
  for (size_t i = 0; i < wa.Rocks.size(); ++i) {
    EXPECT_EQ(wa.Rocks[i].Pos.x, wb.Rocks[i].Pos.x);
    EXPECT_EQ(wa.Rocks[i].Pos.y, wb.Rocks[i].Pos.y);
  }
  EXPECT_EQ(wa.Score, wb.Score);
  EXPECT_EQ(wa.Ship.Pos.x, wb.Ship.Pos.x);
  EXPECT_NE(wa.Rocks.front().Pos.x, wc.Rocks.front().Pos.x);
}

TEST(Game, ANewGameStartsWithThreeShipsAndFourRocksAtTheEdges) {
  TGame g(1, 5000);
  const TGameWorld& w = g.World();
  EXPECT_EQ(w.Lives, 3);
  EXPECT_EQ(w.Level, 1);
  EXPECT_EQ(w.Score, 0);
  EXPECT_EQ(w.HighScore, 5000);
  ASSERT_EQ(w.Rocks.size(), 4u);
  for (const TGameRock& r : w.Rocks) {
    EXPECT_EQ(r.Size, 3);
    EXPECT_GT(TGame::Distance(r.Pos, w.Ship.Pos), 300);
  }
  EXPECT_TRUE(w.Ship.Alive);
  EXPECT_GT(w.Ship.Shielded, 0);
}

TEST(Game, TheShipTurnsThrustsCoastsAndWrapsAround) {
  TGame g = Quiet();
  Steps(g, 30, Keys(false, true, false, false));  // half a second clockwise
  EXPECT_NEAR(g.World().Ship.Angle, 2.1, 0.01);
  g.MutableWorld().Ship.Angle = 0;  // nose up
  Steps(g, 30, Keys(false, false, true, false));
  EXPECT_TRUE(g.ThrustersSound());
  const TGameShip s = g.World().Ship;
  EXPECT_LT(s.Vel.y, -150);
  EXPECT_NEAR(s.Vel.x, 0, 1e-9);
  EXPECT_LT(s.Pos.y, kGameHeight / 2);
  // Coasting slows down, and the speed never passes its limit.
  Steps(g, 1);
  EXPECT_FALSE(g.ThrustersSound());
  EXPECT_GT(g.World().Ship.Vel.y, s.Vel.y);
  Steps(g, 600, Keys(false, false, true, false));
  const TGameShip fast = g.World().Ship;
  EXPECT_LE(std::hypot(fast.Vel.x, fast.Vel.y), 480 + 1e-6);
  // Leaving at the top comes back at the bottom.
  TGameWorld& w = g.MutableWorld();
  w.Ship.Pos = {500, 2};
  w.Ship.Vel = {0, -300};
  Steps(g, 1);
  EXPECT_GT(g.World().Ship.Pos.y, kGameHeight - 10);
  w.Ship.Pos = {kGameWidth - 1, 300};
  w.Ship.Vel = {300, 0};
  Steps(g, 1);
  EXPECT_LT(g.World().Ship.Pos.x, 10);
}

TEST(Game, TheGunFiresOnAPressRepeatsWhenHeldAndKeepsFourShots) {
  TGame g = Quiet();
  g.Step(Keys(false, false, false, true));
  ASSERT_EQ(g.World().Bullets.size(), 1u);
  EXPECT_EQ(g.TakeSounds(), (std::vector<TGameSound>{TGameSound::Cannon}));
  Steps(g, 5, Keys(false, false, false, true));  // held: the gun is not ready yet
  EXPECT_EQ(g.World().Bullets.size(), 1u);
  Steps(g, 60, Keys(false, false, false, true));
  EXPECT_EQ(g.World().Bullets.size(), 4u);  // never more than four of the ship's own
  // Shots fly straight out of the nose and expire after a second.
  Steps(g, 70);
  EXPECT_TRUE(g.World().Bullets.empty());
  g.Step(Keys(false, false, false, true));
  const TGameBullet b = g.World().Bullets.at(0);
  EXPECT_NEAR(b.Vel.y, -620, 1e-6);
  EXPECT_LT(b.Pos.y, kGameHeight / 2 - 14);
}

TEST(Game, RocksSplitWhenHitAndScoreBySize) {
  struct Row {
    int size;
    size_t piecesAfter;
    int score;
    TGameSound sound;
  };
  for (const Row& r : {Row{3, 2, 20, TGameSound::Explosion}, Row{2, 2, 50, TGameSound::Boom},
                       Row{1, 0, 100, TGameSound::Boom}}) {
    TGame g = Quiet();
    g.MutableWorld().Rocks.push_back(RockAt(g, r.size, kGameWidth / 2, kGameHeight / 2 - 120));
    g.Step(Keys(false, false, false, true));
    Steps(g, 20);
    const TGameWorld& w = g.World();
    EXPECT_EQ(w.Score, r.score) << r.size;
    ASSERT_EQ(w.Rocks.size(), r.piecesAfter) << r.size;
    for (const TGameRock& piece : w.Rocks) EXPECT_EQ(piece.Size, r.size - 1);
    if (r.piecesAfter == 2) {  // each piece is a rock of its own
      EXPECT_NE(w.Rocks[0].Id, w.Rocks[1].Id);
      EXPECT_NE(w.Rocks[0].Shape, w.Rocks[1].Shape);
    }
    EXPECT_EQ(g.TakeSounds(), (std::vector<TGameSound>{TGameSound::Cannon, r.sound})) << r.size;
    EXPECT_TRUE(w.Bullets.empty());  // the shot is used up
  }
}

TEST(Game, ARockHittingTheShipCostsAShipAndItComesBackWhenTheMiddleIsClear) {
  TGame g = Quiet();
  g.MutableWorld().Rocks.push_back(RockAt(g, 1, kGameWidth / 2 + 15, kGameHeight / 2));
  g.Step(kNone);
  const TGameWorld& w = g.World();
  EXPECT_FALSE(w.Ship.Alive);
  EXPECT_EQ(w.Lives, 2);
  EXPECT_TRUE(w.Rocks.empty());
  EXPECT_EQ(g.TakeSounds(), (std::vector<TGameSound>{TGameSound::Boom, TGameSound::Explosion}));
  // A rock parked in the middle keeps the next ship out after its wait.
  g.MutableWorld().Rocks.push_back(RockAt(g, 3, kGameWidth / 2, kGameHeight / 2 + 60));
  Steps(g, 180);
  EXPECT_FALSE(w.Ship.Alive);
  g.MutableWorld().Rocks.back().Pos = {60, 60};
  g.Step(kNone);
  EXPECT_TRUE(w.Ship.Alive);
  EXPECT_GT(w.Ship.Shielded, 0);
  // While shielded nothing hits it.
  g.MutableWorld().Rocks.back().Pos = w.Ship.Pos;
  g.Step(kNone);
  EXPECT_TRUE(w.Ship.Alive);
}

TEST(Game, TheLastShipEndsTheGameAndFireStartsANewOneKeepingTheHighScore) {
  TGame g = Quiet();
  TGameWorld& w = g.MutableWorld();
  w.Lives = 1;
  w.Score = 900;
  w.HighScore = 500;
  w.Rocks.push_back(RockAt(g, 2, kGameWidth / 2, kGameHeight / 2));
  g.Step(kNone);
  EXPECT_EQ(w.Phase, TGamePhase::GameOver);
  EXPECT_EQ(w.Lives, 0);
  EXPECT_EQ(w.HighScore, 950);  // the rock that hit it still counted
  EXPECT_FALSE(g.ThrustersSound());
  // Fire does nothing at first, then a fresh press restarts.
  g.Step(Keys(false, false, false, true));
  Steps(g, 120);
  EXPECT_EQ(w.Phase, TGamePhase::GameOver);
  g.Step(Keys(false, false, false, true));
  EXPECT_EQ(w.Phase, TGamePhase::Playing);
  EXPECT_EQ(w.Score, 0);
  EXPECT_EQ(w.Lives, 3);
  EXPECT_EQ(w.Level, 1);
  EXPECT_EQ(w.HighScore, 950);
  EXPECT_TRUE(w.Bullets.empty());  // the restarting press does not also fire
}

TEST(Game, ClearingTheRocksStartsTheNextLevelWithOneMore) {
  TGame g(3);
  TGameWorld& w = g.MutableWorld();
  w.Rocks.clear();
  w.SaucerIn = 1e9;
  Steps(g, 100);
  EXPECT_EQ(w.Level, 1);
  Steps(g, 30);
  EXPECT_EQ(w.Level, 2);
  EXPECT_EQ(w.Rocks.size(), 5u);
  w.Level = 20;
  w.Rocks.clear();
  Steps(g, 130);
  EXPECT_EQ(w.Rocks.size(), 11u);  // never more than eleven
}

TEST(Game, EveryTenThousandPointsGiveAnExtraShip) {
  TGame g = Quiet();
  TGameWorld& w = g.MutableWorld();
  w.Score = 9990;
  w.Rocks.push_back(RockAt(g, 3, kGameWidth / 2, kGameHeight / 2 - 120));
  g.Step(Keys(false, false, false, true));
  Steps(g, 20);
  EXPECT_EQ(w.Score, 10010);
  EXPECT_EQ(w.Lives, 4);
  EXPECT_EQ(w.NextExtraLife, 20000);
}

TEST(Game, ASaucerCrossesShootsAndLeaves) {
  TGame g = Quiet(11);
  TGameWorld& w = g.MutableWorld();
  w.Ship.Shielded = 1e9;  // the ship only watches
  w.SaucerIn = 0.5;
  Steps(g, 29);
  EXPECT_FALSE(g.SaucerSound());
  Steps(g, 2);
  ASSERT_TRUE(w.Saucer.Active);
  EXPECT_TRUE(g.SaucerSound());
  const bool fromLeft = w.Saucer.Vel.x > 0;
  EXPECT_TRUE(w.Saucer.Pos.x < 0 || w.Saucer.Pos.x > kGameWidth);
  Steps(g, 90);
  EXPECT_GE(std::count_if(w.Bullets.begin(), w.Bullets.end(), [](const TGameBullet& b) { return b.FromSaucer; }), 1);
  // Across the whole width it goes, then it is gone.
  Steps(g, 60 * 12);
  EXPECT_FALSE(w.Saucer.Active);
  EXPECT_FALSE(g.SaucerSound());
  EXPECT_EQ(w.Score, 0);
  (void)fromLeft;
}

TEST(Game, SaucerShotsCostAShipAndShootingASaucerScores) {
  TGame g = Quiet();
  TGameWorld& w = g.MutableWorld();
  TGameBullet shot;
  shot.FromSaucer = true;
  shot.Pos = {w.Ship.Pos.x + 20, w.Ship.Pos.y};
  shot.Vel = {-360, 0};
  shot.Life = 1;
  w.Bullets.push_back(shot);
  Steps(g, 3);
  EXPECT_FALSE(w.Ship.Alive);
  EXPECT_EQ(w.Lives, 2);

  for (bool small : {false, true}) {
    TGame h = Quiet();
    TGameWorld& v = h.MutableWorld();
    v.Saucer.Active = true;
    v.Saucer.Small = small;
    v.Saucer.Pos = {kGameWidth / 2, kGameHeight / 2 - 150};
    v.Saucer.Vel = {0, 0};
    v.Saucer.FireIn = v.Saucer.TurnIn = 1e9;
    h.Step(Keys(false, false, false, true));
    Steps(h, 20);
    EXPECT_FALSE(v.Saucer.Active);
    EXPECT_EQ(v.Score, small ? 1000 : 200);
  }
}

TEST(Game, PauseFreezesTheWorldAndSilencesTheLoops) {
  TGame g(5);
  Steps(g, 10, Keys(false, false, true, false));
  g.MutableWorld().Saucer.Active = true;
  g.MutableWorld().Saucer.Pos = {100, 100};
  EXPECT_TRUE(g.ThrustersSound());
  g.SetPaused(true);
  const TGameWorld before = g.World();
  Steps(g, 100, Keys(true, false, true, true));
  EXPECT_EQ(g.World().Time, before.Time);
  EXPECT_EQ(g.World().Rocks.front().Pos.x, before.Rocks.front().Pos.x);
  EXPECT_EQ(g.World().Ship.Angle, before.Ship.Angle);
  EXPECT_FALSE(g.ThrustersSound());
  EXPECT_FALSE(g.SaucerSound());
  EXPECT_TRUE(g.TakeSounds().empty());
  g.SetPaused(false);
  EXPECT_TRUE(g.SaucerSound());
}

TEST(Game, DistanceIsMeasuredAcrossTheWrappedEdges) {
  EXPECT_NEAR(TGame::Distance({2, 2}, {kGameWidth - 2, kGameHeight - 2}), std::hypot(4, 4), 1e-9);
  EXPECT_NEAR(TGame::Distance({100, 100}, {130, 140}), 50, 1e-9);
  TGameShip s;
  s.Pos = {100, 100};
  s.Angle = kPi / 2;  // pointing right
  EXPECT_NEAR(TGame::Nose(s).x, 114, 1e-9);
  EXPECT_NEAR(TGame::Nose(s).y, 100, 1e-9);
}

TEST(Game, ArrowsAndLettersHoldTheSameControls) {
  TGameControls c;
  c.Press(TGameControl::Left);   // arrow
  c.Press(TGameControl::Left);   // A
  c.Release(TGameControl::Left);
  EXPECT_TRUE(c.Keys().Left);  // the other is still down
  c.Release(TGameControl::Left);
  c.Release(TGameControl::Left);  // a stray release does not go below nothing
  c.Press(TGameControl::Left);
  EXPECT_TRUE(c.Keys().Left);
  c.Press(TGameControl::Fire);
  c.Press(TGameControl::Pause);  // not held: the window acts on it at once
  const TGameKeys k = c.Keys();
  EXPECT_TRUE(k.Left && k.Fire && !k.Right && !k.Thrust);
  c.ReleaseAll();
  EXPECT_FALSE(c.Keys().Left || c.Keys().Fire);
}

TEST(Game, TheHighScoreIsKeptInTheSettingsFileBesideOtherSettings) {
  const std::string path = (std::filesystem::temp_directory_path() / ("revscope-game-" + std::to_string(::getpid()) + ".ini")).string();
  {
    std::ofstream f(path);
    f << "[Vehicle]\nGear1=3.5\n";
  }
  EXPECT_EQ(LoadGameHighScore(path), 0);
  EXPECT_TRUE(SaveGameHighScore(path, 1250));
  EXPECT_EQ(LoadGameHighScore(path), 1250);
  EXPECT_TRUE(SaveGameHighScore(path, 900));  // a lower score leaves the record alone
  EXPECT_EQ(LoadGameHighScore(path), 1250);
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Gear1=3.5"), std::string::npos);
  EXPECT_NE(text.find("HighScore=1250"), std::string::npos);
  std::remove(path.c_str());
  EXPECT_EQ(LoadGameHighScore(""), 0);
  EXPECT_FALSE(SaveGameHighScore("", 10));
}

}  // namespace
