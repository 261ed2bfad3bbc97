// The hidden game's window, the About box's way into it, the built-in sounds and the splash
// window. Sounds go to a recording device, so the tests hear what would be played.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAudioFormat>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "GuiSupport.h"
#include "windows/AboutForm.h"
#include "game/GameForm.h"
#include "sound/QtSoundDevice.h"
#include "vars/EcuType.h"

namespace {

// Every output the game opens, in the order it loads its sounds, with its starts and stops.
struct TOutputLog {
  TWaveFormat format;
  int starts = 0, stops = 0;
  bool loop = false;
};

class TRecordingDevice : public TSoundDevice {
 public:
  class Output : public TSoundOutput {
   public:
    explicit Output(TOutputLog& log) : log_(log) {}
    bool Start(TSoundStream& stream) override {
      ++log_.starts;
      // A looping stream comes round again past its end.
      uint8_t probe[1 << 16];
      stream.Read(probe, sizeof probe);
      log_.loop = stream.Restarts() > 0;
      return true;
    }
    bool Stop() override {
      ++log_.stops;
      return true;
    }

   private:
    TOutputLog& log_;
  };
  std::unique_ptr<TSoundOutput> Open(const TWaveFormat& format) override {
    logs.push_back(std::make_unique<TOutputLog>());
    logs.back()->format = format;
    return std::make_unique<Output>(*logs.back());
  }
  std::vector<std::unique_ptr<TOutputLog>> logs;
};
enum { kExplosion, kThrusters, kBoom, kCannon, kSaucer };

void Press(QWidget& w, int key) {
  QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &e);
}
void Release(QWidget& w, int key) {
  QKeyEvent e(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &e);
}

TEST(GameWindow, LoadsTheFiveBuiltInSoundsAndPlaysThemForTheKeys) {
  TRecordingDevice device;
  TGameForm form("", 1, &device);
  ASSERT_EQ(device.logs.size(), 5u);
  const uint16_t bits[] = {8, 16, 8, 8, 8};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(device.logs[i]->format, PcmFormat(8000, 1, bits[i])) << i;

  form.Game().MutableWorld().Ship.Shielded = 1e9;
  form.Game().MutableWorld().SaucerIn = 1e9;
  Press(form, Qt::Key_Space);
  form.Advance(1);
  EXPECT_EQ(device.logs[kCannon]->starts, 1);
  EXPECT_EQ(form.Game().World().Bullets.size(), 1u);
  Release(form, Qt::Key_Space);

  // Thrust (the arrow and W alike) runs the thrusters' loop until let go.
  Press(form, Qt::Key_Up);
  Press(form, Qt::Key_W);
  form.Advance(3);
  EXPECT_EQ(device.logs[kThrusters]->starts, 1);
  EXPECT_TRUE(device.logs[kThrusters]->loop);
  Release(form, Qt::Key_Up);
  form.Advance(1);
  EXPECT_EQ(device.logs[kThrusters]->stops, 0);  // W still held
  Release(form, Qt::Key_W);
  form.Advance(1);
  EXPECT_EQ(device.logs[kThrusters]->stops, 1);

  // A: turn left; P pauses and a second P goes on.
  const double angle = form.Game().World().Ship.Angle;
  Press(form, Qt::Key_A);
  form.Advance(10);
  Release(form, Qt::Key_A);
  EXPECT_NE(form.Game().World().Ship.Angle, angle);
  Key(form, Qt::Key_P);
  const double t = form.Game().World().Time;
  form.Advance(30);
  EXPECT_EQ(form.Game().World().Time, t);
  Key(form, Qt::Key_P);
  form.Advance(1);
  EXPECT_GT(form.Game().World().Time, t);

  // The saucer's loop plays while it flies (no rock in its way) and is silent while paused.
  form.Game().MutableWorld().Rocks.clear();
  form.Game().MutableWorld().SaucerIn = kGameStep / 2;
  form.Advance(1);
  EXPECT_EQ(device.logs[kSaucer]->starts, 1);
  EXPECT_TRUE(device.logs[kSaucer]->loop);
  Key(form, Qt::Key_P);
  EXPECT_EQ(device.logs[kSaucer]->stops, 1);
  Key(form, Qt::Key_P);
  EXPECT_EQ(device.logs[kSaucer]->starts, 2);
}

TEST(GameWindow, EscapeClosesItAndTheHighScoreIsKept) {
  QTemporaryDir dir;
  const std::string ini = (dir.path() + "/Revscope.ini").toStdString();
  ASSERT_TRUE(SaveGameHighScore(ini, 300));
  TRecordingDevice device;
  auto* form = new TGameForm(ini, 2, &device);
  QPointer<TGameForm> alive(form);
  form->setAttribute(Qt::WA_DeleteOnClose);
  EXPECT_EQ(form->Game().World().HighScore, 300);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
  EXPECT_TRUE(form->Running());
  form->Game().MutableWorld().Score = 1234;
  form->Game().MutableWorld().HighScore = 1234;
  Key(*form, Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 2000));
  EXPECT_EQ(LoadGameHighScore(ini), 1234);
}

TEST(GameWindow, DrawsTheWorldScaledToTheWindowAndSharpAtDoubleDensity) {
  TRecordingDevice device;
  TGameForm form("", 5, &device);
  form.resize(900, 600);
  TGameWorld& w = form.Game().MutableWorld();
  w.SaucerIn = 1e9;
  w.Score = 4280;
  w.HighScore = 12550;
  w.Saucer.Active = true;
  w.Saucer.Pos = {760, 200};
  w.Saucer.Vel = {-120, 0};
  w.Saucer.FireIn = w.Saucer.TurnIn = 1e9;
  // Three seconds in, turning and pushing, having fired twice.
  form.Advance(180);
  Press(form, Qt::Key_Right);
  Press(form, Qt::Key_Up);
  form.Advance(20);
  Press(form, Qt::Key_Space);
  form.Advance(1);
  Release(form, Qt::Key_Space);
  form.Advance(12);
  Press(form, Qt::Key_Space);
  form.Advance(1);
  TGameBullet shot;
  shot.FromSaucer = true;
  shot.Pos = {700, 260};
  shot.Vel = {-100, 60};
  shot.Life = 1;
  w.Bullets.push_back(shot);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.hide();  // the frame timer stops: the picture holds still

  const QImage shot1 = RenderWidget(form);
  SaveArtifact(shot1, "game");
  const QImage shot2 = RenderWidget(form, 2.0);
  SaveArtifact(shot2, "game@2x");
  const QRectF view = form.Viewport();
  EXPECT_NEAR(view.width() / view.height(), kGameWidth / kGameHeight, 0.01);
  EXPECT_NEAR(view.width(), 800, 1.0);  // 600 high at 4:3, a border either side
  // The border beside the world is black, the world's sky dark blue.
  EXPECT_TRUE(Near(PixelAt(shot1, 3, 300), Qt::black));
  EXPECT_TRUE(Near(PixelAt(shot1, 400, 560), QColor(6, 10, 22)));
  // The saucer's green and the ship's flame are there.
  EXPECT_GT(CountNear(shot1, view.toRect(), QColor(120, 230, 140), 30), 20);
  EXPECT_GT(CountNear(shot1, view.toRect(), QColor(255, 160, 40), 40), 4);
  // At double density the lines are drawn at the finer pixels, not blown up: many 2 x 2 blocks
  // are not of one colour.
  int mixed = 0;
  for (int y = 0; y + 1 < shot2.height(); y += 2)
    for (int x = 0; x + 1 < shot2.width(); x += 2) {
      const QRgb a = shot2.pixel(x, y);
      if (a != shot2.pixel(x + 1, y) || a != shot2.pixel(x, y + 1) || a != shot2.pixel(x + 1, y + 1)) ++mixed;
    }
  EXPECT_GT(mixed, 1000);

  // Wider than 4:3, the world keeps its shape in the middle.
  form.resize(1200, 600);
  EXPECT_NEAR(form.Viewport().left(), (1200 - 800) / 2.0, 1.0);
}

TEST(GameWindow, GameOverSaysSoAndSpaceStartsAgain) {
  TRecordingDevice device;
  TGameForm form("", 9, &device);
  TGameWorld& w = form.Game().MutableWorld();
  w.Lives = 1;
  w.Ship.Shielded = 0;
  w.Rocks.push_back(form.Game().MakeRock(3, w.Ship.Pos));
  form.Advance(1);
  EXPECT_EQ(w.Phase, TGamePhase::GameOver);
  EXPECT_GE(device.logs[kExplosion]->starts, 1);
  form.resize(640, 480);
  const QImage shot = RenderWidget(form);
  SaveArtifact(shot, "game_over");
  form.Advance(120);
  Key(form, Qt::Key_Space);
  Press(form, Qt::Key_Space);
  form.Advance(1);
  EXPECT_EQ(w.Phase, TGamePhase::Playing);
  EXPECT_EQ(w.Lives, kGameStartLives);
}

TEST(AboutBox, ShiftDoubleClickOnTheIconOpensTheGame) {
  TECUType ecu;
  ecu.SetFamily(FAMILY_OBD0);
  TAboutForm about(ecu, {});
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
  EXPECT_EQ(about.EcuLabel()->text(), "OBD0 ECU");
  QTest::mouseDClick(about.IconLabel(), Qt::LeftButton);
  EXPECT_EQ(about.Game(), nullptr);  // without Shift, nothing
  QTest::mouseDClick(about.IconLabel(), Qt::LeftButton, Qt::ShiftModifier);
  QPointer<TGameForm> game = about.Game();
  ASSERT_NE(game, nullptr);
  EXPECT_TRUE(game->isVisible());
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);
  game->close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return game.isNull(); }, 2000));
}

TEST(BuiltInSounds, AreFoundByNameWithoutRegardToCase) {
  for (const char* name : {"Explosion", "THRUSTERS", "boom", "Cannon", "sAuCeR"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(FindBuiltInSound(name, bytes)) << name;
    TWaveData wave;
    EXPECT_TRUE(ParseWave(bytes, wave)) << name;
  }
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(FindBuiltInSound("Whistle", bytes));
  EXPECT_FALSE(FindBuiltInSound("", bytes));
}

TEST(BuiltInSounds, TheSystemsDeviceNeverBlocksOrFailsLoudly) {
  // With no audio output (as here, offscreen) every sound loads silent; with one they play.
  TQtSoundDevice device;
  TSoundManager manager(device, FindBuiltInSound);
  TSound sound(manager);
  sound.Loop = true;
  const bool loaded = sound.Load("Saucer");
  EXPECT_EQ(sound.Play(), loaded);
  EXPECT_EQ(sound.Stop(), loaded);
  EXPECT_EQ(ToAudioFormat(PcmFormat(8000, 1, 16)).sampleFormat(), QAudioFormat::Int16);
  EXPECT_EQ(ToAudioFormat(PcmFormat(8000, 1, 8)).bytesPerFrame(), 1);
}

}  // namespace
