// revscope-cli log and simulate.
#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <ostream>

#include "cli/Cli.h"
#include "program/Program.h"
#include "ecu/DatalogPreset.h"
#include "base/MessageTarget.h"
#include "ecu/SimEcu.h"
#include "ecu/ComPort.h"
#include "ecu/PollThreadRS.h"
#include "base/AtomicSave.h"
#include "base/FileLock.h"
#include "vars/Formatters.h"
#include "recording/Journal.h"

namespace {

// SIGINT, SIGTERM, SIGHUP (the terminal closed) and SIGPIPE (the reader of a pipe went away) are
// blocked while a command runs (the threads it starts inherit the mask) and taken by the main
// thread when it waits, so the workers never see them and a run always ends with its save.
class TStopSignals {
 public:
  TStopSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGHUP);
    sigaddset(&set_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
  }
  ~TStopSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // Waits up to ms milliseconds; true once one of the signals has arrived.
  bool Wait(int ms) {
    if (stopped_) return true;
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    int s = sigtimedwait(&set_, nullptr, &ts);
    if (s > 0) stopped_ = true;
    return stopped_;
  }

 private:
  sigset_t set_{}, old_{};
  bool stopped_ = false;
};

// What the poll thread has reported.
class TLogTarget : public TMessageTarget {
 public:
  void Post(uint32_t message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (message == WM_POLL_CONNECTED) connected_ = true;
    if (message == WM_POLL_ERROR) error_ = true;
  }
  bool Connected() {
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_;
  }
  bool Error() {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
  }

 private:
  std::mutex mutex_;
  bool connected_ = false;
  bool error_ = false;
};

// Detaches the message target from the poll thread before the target goes away.
struct TTargetGuard {
  TTargetGuard(TPollThreadRS& poll, TMessageTarget* target) : poll_(poll) { poll_.SetMessageTarget(target); }
  ~TTargetGuard() { poll_.SetMessageTarget(nullptr); }
  TPollThreadRS& poll_;
  TTargetGuard(const TTargetGuard&) = delete;
  TTargetGuard& operator=(const TTargetGuard&) = delete;
};

// A plain decimal number of seconds (ParseDecimal), positive, at most ten million.
bool ParseSeconds(const std::string& text, double& seconds) {
  double v = 0;
  if (!ParseDecimal(text, v) || !(v > 0.0) || v > 1e7) return false;
  seconds = v;
  return true;
}

// The run's length in milliseconds: any positive duration records at least one.
int64_t LimitMs(double seconds) { return std::max<int64_t>(1, std::llround(seconds * 1000.0)); }

// The lock file that holds a run's output path: ".<name>.lock" beside it.
std::string OutputLockPath(const std::string& outFile) {
  const size_t slash = outFile.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : outFile.substr(0, slash + 1);
  return folder + "." + outFile.substr(slash == std::string::npos ? 0 : slash + 1) + ".lock";
}

// Holds the output path for the run's whole length; the lock file goes with it.
class TOutputHold {
 public:
  ~TOutputHold() { lock_.Remove(); }
  // False, with the message on err, when the path cannot be held: another run records into it
  // (named by its process id) or the lock file cannot be made.
  bool Take(const std::string& outFile, std::ostream& err) {
    const std::string path = OutputLockPath(outFile);
    std::string why;
    switch (lock_.Take(path, TFileLock::TOpen::Create, &why)) {
      case TFileLock::TResult::Taken:
        lock_.WriteOwner();
        return true;
      case TFileLock::TResult::Busy: {
        const long pid = TFileLock::Owner(path);
        err << "revscope-cli: '" << outFile << "' is being recorded into by another run"
            << (pid > 0 ? " (process " + std::to_string(pid) + ")" : std::string()) << "\n";
        return false;
      }
      case TFileLock::TResult::Failed: break;
    }
    err << "revscope-cli: cannot write " << why << "\n";
    return false;
  }

 private:
  TFileLock lock_;
};

// After a failed save: what is left of the run, and how to get it back.
void SayWhatIsKept(const TRecording& rec, const TJournal* journal, std::ostream& err) {
  if (!journal) {
    err << "Nothing of the recording is kept: it had no journal\n";
    return;
  }
  uint64_t samples = 0;
  for (const TVarHist* h : rec) samples += static_cast<uint64_t>(h->Count());
  const std::string hint = "revscope-cli recover " + journal->Path() + " --out FILE.rec";
  if (journal->SamplesWritten() >= samples && journal->HeldLengthMs() >= rec.LengthMs) {
    err << "The recording is kept in " << journal->Path() << "; save it with: " << hint << "\n";
    return;
  }
  const std::string why = journal->ErrorText();
  err << "The journal " << journal->Path() << " holds only " << FormatMilliseconds(journal->HeldLengthMs()) << " of the "
      << FormatMilliseconds(rec.LengthMs) << " recorded (" << journal->SamplesWritten() << " of " << samples
      << " samples)" << (why.empty() ? std::string() : "; the rest could not be written: " + why)
      << "; save what it holds with: " << hint << "\n";
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int CliLog(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  (void)out;
  std::string port, outFile, presetName;
  double seconds = 0.0;  // 0: until interrupted
  bool havePreset = false;
  for (size_t i = 0; i < args.size(); ++i) {
    bool missing = false;
    if (auto v = CliOptionValue(args, i, "--port", missing)) {
      port = *v;
      if (port.empty()) return CliUsageError(err, "'--port' needs a port name or device path");
    } else if (auto o = CliOptionValue(args, i, "--out", missing)) {
      outFile = *o;
      if (outFile.empty()) return CliUsageError(err, "'--out' needs a file name");
    } else if (auto t = CliOptionValue(args, i, "--seconds", missing)) {
      if (!ParseSeconds(*t, seconds))
        return CliUsageError(err, "'--seconds' needs a positive plain decimal number of seconds, not '" + *t + "'");
    } else if (auto p = CliOptionValue(args, i, "--preset", missing)) {
      presetName = *p;
      havePreset = true;
    } else if (missing) {
      const std::string& a = args[i];
      if (a == "--port") return CliUsageError(err, "'--port' needs a port name or device path");
      if (a == "--out") return CliUsageError(err, "'--out' needs a file name");
      if (a == "--seconds") return CliUsageError(err, "'--seconds' needs a positive number of seconds");
      return CliUsageError(err, "'--preset' needs all, performance or mixture");
    } else {
      return CliUsageError(err, "'log' does not know '" + args[i] + "'");
    }
  }
  if (port.empty()) return CliUsageError(err, "'log' needs --port");
  if (outFile.empty()) return CliUsageError(err, "'log' needs --out");
  TDatalogPreset preset = TDatalogPreset::All;
  if (havePreset && !ParseDatalogPreset(presetName, preset))
    return CliUsageError(err, "unknown preset '" + presetName + "' (all, performance or mixture)");

  // A run that could not be saved at its end is found out now, not after it; and so is another
  // run that records into the same file.
  std::string why;
  if (!CheckSaveTarget(outFile, &why)) {
    err << "revscope-cli: cannot write " << why << "\n";
    return 1;
  }
  TOutputHold output;
  if (!output.Take(outFile, err)) return 1;

  TStopSignals signals;
  program.StartThreads();
  TPollThreadRS& poll = *program.PollThread;
  if (havePreset) ApplyDatalogPreset(program.Sensors, preset);
  TLogTarget target;
  TTargetGuard guard(poll, &target);

  TComPort* comPort = poll.Port();
  // A COM name through the machine's map, "sim" for the built-in ECU, or a device path.
  const std::string device = ResolvePortName(port, program.Config.MachinePath);
  comPort->SetDevicePath(device);

  poll.PollThread_OpenSerialPort();
  poll.PollThread_Connect();
  // The thread opens the port, or gives up and drops the request.
  while (!comPort->IsOpen()) {
    if (!poll.OpenRequested()) {
      err << "revscope-cli: cannot open " << (device == SimulatedDevicePath() ? port : device) << ": "
          << std::strerror(comPort->LastError()) << "\n";
      return 1;
    }
    if (signals.Wait(5)) {
      err << "revscope-cli: interrupted before the port was open; nothing recorded\n";
      return 1;
    }
  }

  TRecording* rec = nullptr;
  bool failed = false;
  const int64_t started = NowMs();
  int64_t recordStart = 0;
  int64_t nextProgress = started + 1000;
  bool journalWarned = false;
  const int64_t limitMs = seconds > 0.0 ? LimitMs(seconds) : -1;
  for (;;) {
    if (signals.Wait(20)) break;
    if (target.Error()) {
      failed = true;
      break;
    }
    const int64_t now = NowMs();
    if (!rec && target.Connected()) {
      // The link is up (the ECU type has been applied, so the histories carry the right ids).
      auto created = std::make_unique<TRecording>(*program.Sensors.RawVars);
      created->CreateHistories();
      created->SetDescription("Recording #1");
      created->Modified = true;
      rec = created.release();
      program.Recordings.Add(rec);
      SetCurrentRecording(program.Core, rec);
      poll.Record(rec);
      recordStart = now;
      // The samples reach the disk about once a second, so a crash or a kill loses little.
      std::string journalError;
      if (!program.Journals.Begin(*rec, {}, &journalError))
        err << "revscope-cli: recording without a journal: " << journalError << std::endl;
    }
    if (limitMs > 0 && now - (rec ? recordStart : started) >= limitMs) break;
    if (now >= nextProgress) {
      nextProgress += 1000;
      // A journal that cannot be written (a full disk) is said once; the run goes on.
      const TJournal* journal = rec ? program.Journals.Of(rec) : nullptr;
      if (journal && journal->Failing() && !journalWarned) {
        err << "revscope-cli: the journal cannot be written: " << journal->ErrorText() << std::endl;
        journalWarned = true;
      }
      err << "length " << FormatMilliseconds(rec ? rec->LengthMs.load() : 0) << ", " << poll.VarsPerSecond.load()
          << " vars/s, " << poll.ErrorsPerSecond.load() << " errs/s" << std::endl;
    }
  }

  poll.StopRecording();
  poll.PollThread_Disconnect();
  poll.PollThread_CloseSerialPort();
  // Once released the thread no longer touches the recording.
  if (rec) {
    program.Recordings.Release(rec);
    program.Journals.End(rec);
  }
  if (failed) err << "Connection error\n" << poll.LastErrorText() << "\n";
  if (!rec) {
    err << "revscope-cli: the ECU link never came up; nothing recorded\n";
    return 1;
  }
  if (!rec->SaveToFile(outFile, &why)) {
    err << "revscope-cli: Could not save recording '" << outFile << "' - " << why << "\n";
    SayWhatIsKept(*rec, program.Journals.Of(rec), err);
    return 1;
  }
  program.Journals.Saved(rec);
  err << "Saved " << outFile << " (" << FormatMilliseconds(rec->LengthMs) << ")" << std::endl;
  return failed ? 1 : 0;
}

int CliSimulate(const TArgs& args, std::ostream& out, std::ostream& err) {
  int model = 2;
  for (size_t i = 0; i < args.size(); ++i) {
    bool missing = false;
    if (auto m = CliOptionValue(args, i, "--model", missing)) {
      const std::string& text = *m;
      char* end = nullptr;
      long v = std::strtol(text.c_str(), &end, 0);
      if (text.empty() || !end || *end != '\0' || v < 0 || v > 255)
        return CliUsageError(err, "'--model' needs a model byte (0..255), not '" + text + "'");
      model = static_cast<int>(v);
    } else if (missing) {
      return CliUsageError(err, "'--model' needs a model byte (0..255)");
    } else {
      return CliUsageError(err, "'simulate' does not know '" + args[i] + "'");
    }
  }
  TStopSignals signals;
  TPtySimulator sim(static_cast<uint8_t>(model));
  std::string error;
  if (!sim.Create(&error)) {
    err << "revscope-cli: cannot create a pseudo-terminal: " << error << "\n";
    return 1;
  }
  out << sim.SlavePath() << std::endl;
  sim.Start();
  while (!signals.Wait(500)) {
  }
  sim.Stop();
  return 0;
}
