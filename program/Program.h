#pragma once
// The owner of the program's state and threads. `main` makes one; the main window and the
// command-line tool are handed it (or the parts they need). Its members are created in the order
// they are declared and destroyed in the reverse order: the threads stop first, then the
// recordings go (they hold references into the catalogue), then the catalogue, and the settings
// last. Nothing here is program-wide: two owners can live side by side.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/WinApp.h"
#include "ecu/PollThreadRS.h"
#include "recording/JournalRegistry.h"
#include "recording/PlayThread.h"
#include "recording/RecordingList.h"
#include "rules/RecentFileList.h"
#include "vars/Config.h"
#include "vars/CoreContext.h"
#include "vars/EcuType.h"
#include "vars/ErrorCodes.h"
#include "vars/GraphSelection.h"
#include "vars/SensorList.h"

struct TProgramOptions {
  // Shows an error to the user ("Could not load '<file>' - <reason>", ...).
  std::function<void(const std::string&)> ShowError;
  // Runs work with the busy cursor shown.
  std::function<void(const std::function<void()>&)> WithBusyCursor;
  // False for tools that only read recordings: no worker threads until StartThreads.
  bool StartThreads = true;
  // Where the settings live instead of beside the program and in the user's configuration folder
  // (tests and benchmarks keep theirs in a scratch folder); FileDir starts in IniPath's folder.
  std::string IniPath;
  std::string MachinePath;
};

class TProgram {
 public:
  // Reads the settings, builds the catalogue, starts the threads (unless the options say not to)
  // and loads the recordings named in args (the command-line arguments after the program name).
  explicit TProgram(const std::vector<std::string>& args = {}, TProgramOptions options = {});
  // Stops the threads, ends the journals (their files stay) and destroys everything in order. The
  // settings are not saved here: see SaveSettings.
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  const TProgramOptions Options;
  TWinApp App{"Revscope.ini"};
  TCoreContext Core;
  TConfig Config;
  TECUType EcuType;
  TSensorList Sensors{&Core};
  TGraphSelection GraphSensors{*Sensors.DisplayVars};
  // The fault codes the error bytes set; the dashboard and the error list show them.
  TErrorCodes ErrorCodes;
  TRecentFileList RecentFiles;
  // Declared before the recordings: a recording tells the registry when it goes.
  TJournalRegistry Journals;
  TRecordingList Recordings;
  // None until StartThreads.
  std::unique_ptr<TPollThreadRS> PollThread;
  std::unique_ptr<TPlayThreadRS> PlayThread;

  // The poll thread (idle until asked to open the port) and the player, with the stored port,
  // error tolerance, read time-out and priorities.
  void StartThreads();
  // Stops both threads, each before anything it uses goes.
  void StopThreads();
  // Both settings files; false (and the reason shown through ShowError) when one was not written.
  bool SaveSettings();
  // Applies the process, user-interface and poll thread priorities of the settings; called on the
  // user-interface thread. Refusals (raising needs privileges) are ignored.
  void ApplyPriorities();
  // Hands the COM port, error tolerance and read time-out of the settings to the poll thread (the
  // device chosen instead of a COM port is handed over by whoever changes it).
  void ApplyLinkSettings();
  TRecording* CurrentRecording() const { return CurrentRecordingOf(Core); }
  // Loads the recordings named in args (arguments beginning with "-" are skipped); the last one
  // loaded becomes current. A file that does not load shows its one message through ShowError.
  void LoadCommandLineRecordings(const std::vector<std::string>& args);

 private:
  void Busy(const std::function<void()>& work) const;
};
