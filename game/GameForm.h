#pragma once
// The hidden game's window: draws the world of TGame scaled to the window at 60 frames a second,
// reads the keys and plays the game's sounds. The rules are all in Gamelogic.
#include <QElapsedTimer>
#include <QHash>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "game/Game.h"
#include "sound/Sound.h"

class TGameForm : public QWidget {
  Q_OBJECT
 public:
  // settingsPath: the file the high score is kept in (empty: not kept). device: where the sounds
  // play (none: the system's default output, silent when there is none).
  explicit TGameForm(const std::string& settingsPath, uint64_t seed, TSoundDevice* device = nullptr,
                     QWidget* parent = nullptr);
  ~TGameForm() override;

  TGame& Game() { return game_; }
  // Runs the rules n steps with the keys held now and plays what they ask for, as the frame
  // timer does (tests step the game this way instead of waiting).
  void Advance(int steps);
  // The world's rectangle inside the window (the rest is black border).
  QRectF Viewport() const;
  bool Running() const { return frameTimer_.isActive(); }

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void Frame();
  void PlaySounds();
  void StopLoops();
  void KeepHighScore();
  // A rock's outline drawn once at the window's scale and pixel density.
  const QPixmap& RockPicture(const TGameRock& rock, double scale, qreal dpr);

  std::string settingsPath_;
  TGame game_;
  TGameControls controls_;
  std::unique_ptr<TSoundDevice> ownDevice_;
  std::unique_ptr<TSoundManager> sounds_;
  std::unique_ptr<TSound> explosion_, thrusters_, boom_, cannon_, saucer_;
  bool thrustersOn_ = false, saucerOn_ = false;
  TGamePhase lastPhase_ = TGamePhase::Playing;
  QTimer frameTimer_;
  QElapsedTimer clock_;
  double lag_ = 0;  // seconds of real time the rules have not caught up with
  QHash<uint32_t, QPixmap> rockPictures_;
  double picturesScale_ = 0;
  qreal picturesDpr_ = 0;
};

// Qt's key to the game's control.
TGameControl GameControlForKey(int key);
