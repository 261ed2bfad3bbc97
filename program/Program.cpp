#include "program/Program.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "base/Paths.h"
#include "ecu/ComPort.h"
#include "rules/Dashboard.h"

namespace {

std::string IniPathOf(const TProgramOptions& options, const TWinApp& app) {
  return options.IniPath.empty() ? app.IniPath() : options.IniPath;
}

// Where the file dialogs start and auto-saved recordings go until FileDir is stored: the folder of
// the INI file when it is given or beside the program, else (an installed program) the home folder.
std::string FileDirOf(const TProgramOptions& options, const std::string& iniPath) {
  const std::string iniDir = std::filesystem::path(iniPath).parent_path().string();
  if (!options.IniPath.empty() || iniDir == TWinApp::ProgramDir()) return iniDir;
  return UserHomeDir();
}

// The nice value of a process priority class; false for anything that is not a class (the
// default 0), which leaves the process alone.
bool ClassNice(int32_t priorityClass, int& nice) {
  switch (priorityClass) {
    case 64: nice = 19; return true;      // idle
    case 16384: nice = 10; return true;   // below normal
    case 32: nice = 0; return true;       // normal
    case 32768: nice = -5; return true;   // above normal
    case 128: nice = -10; return true;    // high
    case 256: nice = -20; return true;    // realtime
    default: return false;
  }
}

}  // namespace

TProgram::TProgram(const std::vector<std::string>& args, TProgramOptions options)
    : Options(std::move(options)),
      Config(IniPathOf(Options, App), FileDirOf(Options, IniPathOf(Options, App))),
      RecentFiles(Config.IniPath, 8) {
  Core.AddRecentFile = [this](const std::string& path) { RecentFiles.Add(path); };
  Core.Recordings = &Recordings;
  Core.Journals = &Journals;
  Core.EcuType = &EcuType;
  Sensors.BuildVariables();
  // Settings: defaults, per-machine part, INI file (rates, poll flags, graph selection).
  if (!Options.MachinePath.empty()) Config.MachinePath = Options.MachinePath;
  Core.Settings = &Config;
  Config.Load(&Sensors, &GraphSensors);
  // The lambda sensor reads in the unit the settings choose, in the window and the tool alike.
  ApplyLambdaUnit(Sensors, Config);
  Busy([this] { Sensors.SetDefaultRanges(); });
  RecentFiles.Load();
  EcuType.SetMapIs3Bar(Config.MapIs3Bar ? 1 : 0);
  if (Options.StartThreads) StartThreads();
  LoadCommandLineRecordings(args);
}

TProgram::~TProgram() {
  // The threads stop first, before anything they use goes away; the window has already detached
  // itself as their message target. Then the journals end (their files stay for recovery) and the
  // members go in reverse order: recordings before the catalogue they refer to.
  StopThreads();
  Journals.EndAll();
  SetCurrentRecording(Core, nullptr);
  Recordings.Clear();
}

void TProgram::Busy(const std::function<void()>& work) const {
  if (Options.WithBusyCursor)
    Options.WithBusyCursor(work);
  else
    work();
}

void TProgram::StartThreads() {
  if (PollThread) return;
  // The poll thread runs from now on, idle until asked to open the port.
  PollThread = std::make_unique<TPollThreadRS>(Core);
  ApplyLinkSettings();
  // A device or the simulator chosen in the settings wins over the COM port's device.
  if (!Config.PortDevice.empty()) PollThread->Port()->SetDevicePath(Config.PortDevice);
  PlayThread = std::make_unique<TPlayThreadRS>(Core);
  Core.Player = PlayThread.get();
  ApplyPriorities();
}

void TProgram::StopThreads() {
  Core.Player = nullptr;
  PollThread.reset();
  PlayThread.reset();
}

void TProgram::ApplyLinkSettings() {
  if (!PollThread) return;
  PollThread->SetComPort(static_cast<uint8_t>(Config.ComPort.load()));
  PollThread->ErrorTolerance = Config.ErrorTolerance.load();
  PollThread->Port()->SetTimeoutMs(Config.ComReadTimeout);
}

bool TProgram::SaveSettings() {
  std::string error;
  if (Config.Save(&Sensors, &GraphSensors, &error)) return true;
  if (Options.ShowError) Options.ShowError("Could not save the settings:\n" + error);
  return false;
}

void TProgram::ApplyPriorities() {
  // Process priority classes map onto nice values. A nice value belongs to one thread on Linux,
  // so every thread of the process gets it.
  int nice = 0;
  const bool isClass = ClassNice(Config.ProcessPriority, nice);
  if (isClass) {
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec))
      setpriority(PRIO_PROCESS, static_cast<id_t>(std::atoi(task.path().filename().c_str())), nice);
  }
  // The user-interface thread (the caller): five nice levels a step (-2..2, 0 normal) from the
  // process's class.
  const int ui = std::clamp(static_cast<int>(Config.UpdateUIThreadPriority), -2, 2);
  if (ui != 0 || isClass)
    setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), std::clamp(nice - 5 * ui, -20, 19));
  // Then the poll thread's own priority (-2..2, 0 normal).
  if (PollThread) PollThread->SetPriority(Config.PollThreadPriority);
}

void TProgram::LoadCommandLineRecordings(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (!arg.empty() && arg[0] == '-') continue;
    auto rec = std::make_unique<TRecording>(*Sensors.RawVars);
    // A failure shows the loader's one message, which names the file and says why.
    if (!rec->LoadFromFile(arg, Options.ShowError)) continue;
    rec->FileName = arg;
    Recordings.Add(rec.get());
    SetCurrentRecording(Core, rec.release());
    if (Core.AddRecentFile) Core.AddRecentFile(arg);
    Busy([this] { Sensors.AutoRangeFromHistories(); });
  }
}
