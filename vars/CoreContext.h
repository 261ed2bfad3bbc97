#pragma once
// What the core works on besides the catalogue: the settings, the ECU type, the current recording
// and the objects the recording manager and the link reach. Start-up builds one for the program
// and hands it to the catalogue, the recording list and the threads; a test builds its own, so
// nothing below the program's start-up reads a program-wide global.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Relaxed.h"
#include "history/HistorySet.h"
#include "vars/Settings.h"

struct TVar;
struct TECUType;
class TSensorList;
class TRecordingList;
class TPlayThread;
class TJournalRegistry;

struct TCoreContext {
  TCoreContext() = default;
  TCoreContext(const TCoreContext&) = delete;
  TCoreContext& operator=(const TCoreContext&) = delete;

  // Never none: defaults until start-up hands in the program's settings object.
  TSettings* Settings = &DefaultSettings;
  // None until start-up creates it: a speed constant of 1 and a 1-bar MAP sensor. The ECU the link
  // talks to (a recording keeps its own: THistorySet::EcuFamily).
  TECUType* EcuType = nullptr;
  // The poll thread is connected: the latest raw values are the link's (otherwise they are the
  // current recording's, put there by the player). Written by the poll thread.
  Relaxed<bool> LinkPolling{false};
  // The current recording (a TRecording; see CurrentRecordingOf): none or a member of Recordings.
  // Only the user-interface thread writes it, with release order; the poll and playback threads
  // and the variable accessors read it with acquire order.
  std::atomic<THistorySet*> Recording{nullptr};
  TSensorList* Sensors = nullptr;
  TRecordingList* Recordings = nullptr;
  TPlayThread* Player = nullptr;
  // The journals of runs not yet saved; none for a core that keeps none (tests, tools that only
  // read recordings).
  TJournalRegistry* Journals = nullptr;
  // Told every recording file the user opened or saved, for the recent-files list.
  std::function<void(const std::string&)> AddRecentFile;

  TSettings DefaultSettings;
};
