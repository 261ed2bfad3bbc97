#pragma once
// Recordings: one history per raw variable with a description, stamp and length; the list of open
// recordings and the current one.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "recording/Tbinfile.h"
#include "vars/Relaxed.h"
#include "vars/Tobjlist.h"

class TVarList;
struct TVar;

struct TRecordingTime {
  uint8_t Day = 0, Month = 0;
  uint16_t Year = 0;
  uint8_t Hour = 0, Minute = 0, Second = 0, Hundredths = 0;
  static TRecordingTime Now();
  std::string Text() const;  // "%02d:%02d %02d/%02d/%04d": hour, minute, day, month, year
};

class TRecording : public TObjList<TVarHist> {
 public:
  explicit TRecording(const TVarList& vars);

  const TVarList& Vars;
  TRecordingTime Stamp;
  Relaxed<uint32_t> LengthMs{0};  // advanced by the poll thread while recording
  char Description[128] = {};
  std::string FileName;
  bool Modified = false;

  void CreateHistories();
  void AddHistory(TVarHist* history);
  void SetDescription(const std::string& text);
  TVarHist* HistoryFor(const TVar& var) const;
  TVarHist* HistoryById(int32_t id) const;
  int HistoryCount() const { return Count(); }
  TVarHist* History(int i) const { return Items(i); }
  double LengthSeconds() const { return LengthMs * 0.001; }
  int64_t MemorySize() const;

  // The .rec file. Saving writes a temporary file beside path and renames it over path only when
  // everything was written. Loading reports the header and history messages through onMessage.
  bool SaveToFile(const std::string& path);
  bool LoadFromFile(const std::string& path, const std::function<void(const std::string&)>& onMessage = {});
};

class TRecordingList : public TObjList<TRecording> {
 public:
  TRecordingList() : TObjList<TRecording>(true) {}
};

// The recording the displays, the player and the variable accessors work on; none or a member of
// the recording list. Written by the user-interface thread only.
extern std::atomic<TRecording*> CurrentRecording;

// Threads that may touch a recording (the poll thread filling it, the player reading it) register
// a releaser: called on the user-interface thread before a recording is destroyed, it returns only
// once that thread no longer touches the recording.
using TRecordingReleaser = std::function<void(TRecording*)>;
int AddRecordingReleaser(TRecordingReleaser releaser);
void RemoveRecordingReleaser(int handle);
// Runs every registered releaser for the recording.
void ReleaseRecording(TRecording* recording);
