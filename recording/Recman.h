#pragma once
// Recordings: one history per raw variable with a description, stamp and length; the list of open
// recordings and the current one.
#include <atomic>
#include <cstdint>
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
};

class TRecordingList : public TObjList<TRecording> {
 public:
  TRecordingList() : TObjList<TRecording>(true) {}
};

// The recording the displays, the player and the variable accessors work on; none or a member of
// the recording list. Written by the user-interface thread only.
extern std::atomic<TRecording*> CurrentRecording;
