#pragma once
// Start-up and shutdown: the program's long-lived objects, created in one fixed order and
// destroyed in another.
#include <functional>
#include <string>
#include <vector>

#include "rules/RecentFileList.h"
#include "vars/Config.h"
#include "base/WinApp.h"
#include "recording/Recording.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

class TPollThreadRS;
class TPlayThreadRS;

// What the core layers work on: the settings, ECU type, current recording, catalogue, recording
// list and player below, handed to the catalogue and the threads at start-up.
extern TCoreContext* Core;
extern TSensorList* SensorList;
extern TVarRefList* GraphSensorList;
extern TRecordingList* RecordingList;
extern TPollThreadRS* PollThread;
extern TPlayThreadRS* PlayThread;
// The one ECU-type object (none before start-up and after shutdown).
extern TECUType* ECUType;
// The context's current recording.
inline TRecording* CurrentRecording() { return Core ? CurrentRecordingOf(*Core) : nullptr; }

struct TGlobalInitHooks {
  // Shows an error to the user ("Could not load recording", ...).
  std::function<void(const std::string&)> ShowError;
  // Runs work with the busy cursor shown.
  std::function<void(const std::function<void()>&)> WithBusyCursor;
  // False for tools that only read recordings: no worker threads are started.
  bool StartThreads = true;
  // Where the settings live instead of beside the program and in the user's configuration folder
  // (tests and benchmarks keep theirs in a scratch folder); FileDir starts in iniPath's folder.
  std::string IniPath;
  std::string MachinePath;
};

// Creates the globals in order; args are the command-line arguments after the program name.
void GlobalInit(const std::vector<std::string>& args, const TGlobalInitHooks& hooks = {});
// Stops the threads, saves the settings (when saveSettings) and destroys the globals.
void GlobalUnInit(bool saveSettings = true, const TGlobalInitHooks& hooks = {});

// Loads the recordings named on the command line (arguments beginning with "-" are skipped); the
// last one loaded becomes current.
void LoadCommandLineRecordings(TCoreContext& core, const std::vector<std::string>& args, const TGlobalInitHooks& hooks);

// Applies the process and poll-thread priorities of the settings; failures are ignored.
void ApplyPriorities();
