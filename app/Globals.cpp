#include "app/Globals.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/resource.h>

#include "ecu/Tpollthread.h"
#include "recording/Tplaythread.h"

TSensorList* SensorList = nullptr;
TVarRefList* GraphSensorList = nullptr;
TRecordingList* RecordingList = nullptr;
TPollThreadRS* PollThread = nullptr;
TPlayThreadRS* PlayThread = nullptr;

namespace {
void Busy(const TGlobalInitHooks& hooks, const std::function<void()>& work) {
  if (hooks.WithBusyCursor)
    hooks.WithBusyCursor(work);
  else
    work();
}
}  // namespace

void ApplyPriorities() {
  // Process priority classes map onto nice values; anything that is not a class (the default 0)
  // leaves the process alone. A nice value belongs to one thread on Linux, so every thread of the
  // process gets it. Raising the priority needs privileges and is ignored when refused.
  int nice = 0;
  bool isClass = true;
  switch (Config->ProcessPriority.load()) {
    case 64: nice = 19; break;      // idle
    case 16384: nice = 10; break;   // below normal
    case 32: nice = 0; break;       // normal
    case 32768: nice = -5; break;   // above normal
    case 128: nice = -10; break;    // high
    case 256: nice = -20; break;    // realtime
    default: isClass = false; break;
  }
  if (isClass) {
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec))
      setpriority(PRIO_PROCESS, static_cast<id_t>(std::atoi(task.path().filename().c_str())), nice);
  }
  // Then the poll thread's own priority (-2..2, 0 normal).
  if (PollThread) PollThread->SetPriority(Config->PollThreadPriority);
}

void GlobalInit(const std::vector<std::string>& args, const TGlobalInitHooks& hooks) {
  // 1-2. Application paths (the help file is opened from HelpPath).
  WinApp = new TWinApp("Revscope.ini", "Revscope.hlp");
  // 3. No splash window at start-up; "-nosplash" changes nothing else.
  // 4. The variable catalogue, published before it is built.
  SensorList = new TSensorList;
  SensorList->BuildVariables();
  // 5. The graph's selection over the display variables.
  GraphSensorList = new TVarRefList(*SensorList->DisplayVars);
  // 6. The recording list.
  RecordingList = new TRecordingList;
  // 7. Settings: defaults, per-machine part, INI file (rates, poll flags, graph selection).
  Config = new TConfig(WinApp->IniPath(), TWinApp::ProgramDir());
  Config->Load(SensorList, GraphSensorList);
  // 8. Default display ranges.
  Busy(hooks, [] { SensorList->SetDefaultRanges(); });
  // 9. Recent files.
  RecentFiles = new TRecentFileList(Config->IniPath, 8);
  RecentFiles->Load();
  if (hooks.StartThreads) {
    // 10. Poll thread: created running and idle, with the COM port index and error tolerance.
    PollThread = new TPollThreadRS();
    PollThread->SetComPort(static_cast<uint8_t>(Config->ComPort.load()));
    PollThread->ErrorTolerance = Config->ErrorTolerance.load();
    // 11. Playback thread.
    PlayThread = new TPlayThreadRS();
    // 12. Priorities.
    ApplyPriorities();
  }
  // 13. The ECU type.
  ECUType = new TECUType;
  ECUType->SetMapIs3Bar(Config->MapIs3Bar ? 1 : 0);
  // 14. Recordings named on the command line.
  LoadCommandLineRecordings(args, hooks);
}

void LoadCommandLineRecordings(const std::vector<std::string>& args, const TGlobalInitHooks& hooks) {
  for (const std::string& arg : args) {
    if (!arg.empty() && arg[0] == '-') continue;
    auto rec = std::make_unique<TRecording>(*SensorList->RawVars);
    if (!rec->LoadFromFile(arg, hooks.ShowError)) {
      if (hooks.ShowError) hooks.ShowError("Could not load recording");
      continue;
    }
    rec->FileName = arg;
    RecordingList->Add(rec.get());
    CurrentRecording.store(rec.release(), std::memory_order_release);
    RecentFiles->Add(arg);
    Busy(hooks, [] { SensorList->AutoRangeFromHistories(); });
  }
}

void GlobalUnInit(bool saveSettings, const TGlobalInitHooks& hooks) {
  // 2. Poll thread: stopped and joined before anything it uses goes away.
  // The message target is dropped first: the window that owned it is gone.
  if (PollThread) PollThread->SetMessageTarget(nullptr);
  delete PollThread;
  PollThread = nullptr;
  // 3. Playback thread: the same.
  delete PlayThread;
  PlayThread = nullptr;
  // 4. Settings.
  if (Config) {
    if (saveSettings) {
      std::string error;
      if (!Config->Save(SensorList, GraphSensorList, &error) && hooks.ShowError)
        hooks.ShowError("Could not save the settings:\n" + error);
    }
    delete Config;
    Config = nullptr;
  }
  // 5-10.
  delete RecentFiles;
  RecentFiles = nullptr;
  delete ECUType;
  ECUType = nullptr;
  CurrentRecording.store(nullptr);
  delete SensorList;
  SensorList = nullptr;
  delete GraphSensorList;
  GraphSensorList = nullptr;
  delete RecordingList;
  RecordingList = nullptr;
  delete WinApp;
  WinApp = nullptr;
}
