#pragma once
// Sound effects: a TSound holds one short PCM sound, loaded from the program's built-in sounds
// through its TSoundManager, and plays it once or looping on an output the manager's device opens.
// The device is an interface, so the player's rules work without a sound card (tests record
// what would be played; the program's device is Qt Multimedia's, in sound/Qtsound).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sound/WaveFile.h"

// The bytes a device plays: a sound from its beginning, once or over and over (a looping sound
// goes round kSoundLoopCount times, minutes for the game's sounds, then ends).
class TSoundStream {
 public:
  static constexpr uint32_t kSoundLoopCount = 100000;

  // Starts over from the first byte of data (which must outlive the stream's use).
  void Start(const std::vector<uint8_t>* data, bool loop);
  // Forgets the sound: nothing more is read.
  void Clear();
  // Copies up to max bytes from the current position on; a looping sound wraps to its
  // beginning. 0 once a one-shot sound (or the last loop) has been read to its end.
  size_t Read(uint8_t* out, size_t max);
  bool AtEnd() const;
  // Times a looping sound has gone back to its beginning since Start.
  uint32_t Restarts() const { return restarts_; }

 private:
  const std::vector<uint8_t>* data_ = nullptr;
  size_t pos_ = 0;
  bool loop_ = false;
  uint32_t restarts_ = 0;
};

// One open output for one sound's format.
class TSoundOutput {
 public:
  virtual ~TSoundOutput() = default;
  // Plays stream from where it stands, cutting off whatever this output was playing; the output
  // reads the stream until it ends or Stop is called. False when the device did not take it.
  virtual bool Start(TSoundStream& stream) = 0;
  // Stops output at once and lets go of the stream; true when the device accepted it.
  virtual bool Stop() = 0;
};

// Where outputs come from: the default device, or a recorder in tests.
class TSoundDevice {
 public:
  virtual ~TSoundDevice() = default;
  // An output for the format, or none when the device refuses the format or there is no device.
  virtual std::unique_ptr<TSoundOutput> Open(const TWaveFormat& format) = 0;
};

// Finds a built-in sound's file bytes by name (matched without regard to case); false when there is
// no such sound.
using TSoundResources = std::function<bool(const std::string& name, std::vector<uint8_t>& bytes)>;

class TSoundManager {
 public:
  TSoundManager(TSoundDevice& device, TSoundResources resources)
      : device_(device), resources_(std::move(resources)) {}
  TSoundDevice& Device() const { return device_; }
  bool FindResource(const std::string& name, std::vector<uint8_t>& bytes) const {
    return resources_ && resources_(name, bytes);
  }

 private:
  TSoundDevice& device_;
  TSoundResources resources_;
};

class TSound {
 public:
  explicit TSound(TSoundManager& manager) : manager_(manager) {}
  // A sound that is playing is stopped before its output is closed and its data released.
  ~TSound();
  TSound(const TSound&) = delete;
  TSound& operator=(const TSound&) = delete;

  // Set before Play: the sound repeats until stopped or played again.
  bool Loop = false;

  // Reads the named sound and opens an output for its format. False, leaving the sound silent,
  // when there is no such sound, its bytes are not a wave file the parser accepts, the format is
  // not plain PCM, or the device refuses it (no device at all is the same). Loading again first
  // stops and closes what was loaded before.
  bool Load(const std::string& name);
  // (Re)starts the sound from its beginning, cutting off the previous playback. False when
  // nothing is loaded or the device did not take it.
  bool Play();
  // Stops output at once; true when the device accepted it. The playing flag stays as it was, so
  // the next Play or the destructor resets the output first.
  bool Stop();

  bool DeviceOpen() const { return deviceOpen_; }
  bool Playing() const { return playing_; }
  const TWaveFormat& Format() const { return format_; }
  const std::vector<uint8_t>& Data() const { return data_; }
  size_t Size() const { return data_.size(); }

 private:
  void Close();

  TSoundManager& manager_;
  std::unique_ptr<TSoundOutput> output_;
  std::vector<uint8_t> data_;
  TWaveFormat format_;
  TSoundStream stream_;
  bool deviceOpen_ = false;
  bool playing_ = false;
};
