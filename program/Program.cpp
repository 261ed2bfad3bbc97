#include "program/Program.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/resource.h>

#include "ecu/ComPort.h"
#include "ecu/PollThreadRS.h"
#include "recording/PlayThread.h"

TCoreContext* Core = nullptr;
TSensorList* SensorList = nullptr;
TVarRefList* GraphSensorList = nullptr;
TRecordingList* RecordingList = nullptr;
TPollThreadRS* PollThread = nullptr;
TPlayThreadRS* PlayThread = nullptr;
TECUType* ECUType = nullptr;

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
  // Application paths (the help file is opened from HelpPath).
  WinApp = new TWinApp("Revscope.ini", "Revscope.hlp");
  // No splash window at start-up; "-nosplash" changes nothing else.
  Core = new TCoreContext;
  Core->AddRecentFile = [](const std::string& path) {
    if (RecentFiles) RecentFiles->Add(path);
  };
  // The variable catalogue, published before it is built.
  SensorList = new TSensorList(Core);
  SensorList->BuildVariables();
  // The graph's selection over the display variables.
  GraphSensorList = new TVarRefList(*SensorList->DisplayVars);
  RecordingList = new TRecordingList;
  Core->Recordings = RecordingList;
  // Settings: defaults, per-machine part, INI file (rates, poll flags, graph selection).
  if (hooks.IniPath.empty()) {
    Config = new TConfig(WinApp->IniPath(), TWinApp::ProgramDir());
  } else {
    Config = new TConfig(hooks.IniPath, std::filesystem::path(hooks.IniPath).parent_path().string());
  }
  if (!hooks.MachinePath.empty()) Config->MachinePath = hooks.MachinePath;
  Core->Settings = Config;
  Config->Load(SensorList, GraphSensorList);
  Busy(hooks, [] { SensorList->SetDefaultRanges(); });
  RecentFiles = new TRecentFileList(Config->IniPath, 8);
  RecentFiles->Load();
  if (hooks.StartThreads) {
    // The poll thread runs from now on, idle until asked to open the port.
    PollThread = new TPollThreadRS(*Core);
    PollThread->SetComPort(static_cast<uint8_t>(Config->ComPort.load()));
    // A device or the simulator chosen in the settings wins over the COM port's device.
    if (!Config->PortDevice.empty()) PollThread->Port()->SetDevicePath(Config->PortDevice);
    PollThread->ErrorTolerance = Config->ErrorTolerance.load();
    PlayThread = new TPlayThreadRS(*Core);
    Core->Player = PlayThread;
    ApplyPriorities();
  }
  // The ECU type comes after the threads: the poll thread looks it up only when it connects.
  ECUType = new TECUType;
  ECUType->SetMapIs3Bar(Config->MapIs3Bar ? 1 : 0);
  Core->EcuType = ECUType;
  LoadCommandLineRecordings(*Core, args, hooks);
}

void LoadCommandLineRecordings(TCoreContext& core, const std::vector<std::string>& args, const TGlobalInitHooks& hooks) {
  for (const std::string& arg : args) {
    if (!arg.empty() && arg[0] == '-') continue;
    auto rec = std::make_unique<TRecording>(*core.Sensors->RawVars);
    if (!rec->LoadFromFile(arg, hooks.ShowError)) {
      if (hooks.ShowError) hooks.ShowError("Could not load recording");
      continue;
    }
    rec->FileName = arg;
    core.Recordings->Add(rec.get());
    SetCurrentRecording(core, rec.release());
    if (core.AddRecentFile) core.AddRecentFile(arg);
    Busy(hooks, [&core] { core.Sensors->AutoRangeFromHistories(); });
  }
}

void GlobalUnInit(bool saveSettings, const TGlobalInitHooks& hooks) {
  // The threads stop first, before anything they use goes away. The window has already detached
  // itself as their message target.
  if (Core) Core->Player = nullptr;
  delete PollThread;
  PollThread = nullptr;
  delete PlayThread;
  PlayThread = nullptr;
  if (Config) {
    if (saveSettings) {
      std::string error;
      if (!Config->Save(SensorList, GraphSensorList, &error) && hooks.ShowError)
        hooks.ShowError("Could not save the settings:\n" + error);
    }
  }
  delete RecentFiles;
  RecentFiles = nullptr;
  if (Core) SetCurrentRecording(*Core, nullptr);
  delete SensorList;
  SensorList = nullptr;
  delete GraphSensorList;
  GraphSensorList = nullptr;
  delete RecordingList;
  RecordingList = nullptr;
  // The settings and the ECU type outlive everything that reads them through the context.
  delete ECUType;
  ECUType = nullptr;
  delete Config;
  Config = nullptr;
  delete Core;
  Core = nullptr;
  delete WinApp;
  WinApp = nullptr;
}
