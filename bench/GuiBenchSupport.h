#pragma once
// Shared by the window benchmarks: the event loop, and the whole program standing over a scratch
// folder with the poll thread talking to a simulated ECU at the pace of a serial line.
#include <stdlib.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "program/Program.h"
#include "ecu/SimEcu.h"
#include "ecu/ComPort.h"
#include "ecu/PollThreadRS.h"

// Runs the event loop for the given time, as the program's message loop would.
inline void RunEventLoop(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  const double until = Now() + ms * 1e-3;
  while (!done() && Now() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

// The program's long-lived objects; no real settings file is read or written. dir is empty when
// no scratch folder could be made.
struct TBenchProgram {
  TBenchProgram(const std::string& name, int baud) {
    std::string tmpl = (std::filesystem::temp_directory_path() / ("revscope-bench-" + name + "-XXXXXX")).string();
    if (::mkdtemp(tmpl.data())) dir = tmpl;
    TProgramOptions options;
    options.IniPath = File("Revscope.ini");
    options.MachinePath = File("Settings.ini");
    program = std::make_unique<TProgram>(std::vector<std::string>{}, options);
    sim = std::make_shared<TSimDevice>(2);
    sim->SetByteTiming(baud);
    sim->SetReplyLatencyUs(0);
    program->PollThread->Port()->SetDevice(sim);
  }
  ~TBenchProgram() {
    program.reset();
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
  TBenchProgram(const TBenchProgram&) = delete;
  TBenchProgram& operator=(const TBenchProgram&) = delete;
  std::string File(const std::string& name) const { return dir + "/" + name; }

  std::string dir;
  std::unique_ptr<TProgram> program;
  std::shared_ptr<TSimDevice> sim;
};
