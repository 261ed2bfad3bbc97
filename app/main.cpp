// The desktop program: start-up, the main window's message loop, shutdown.
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <memory>
#include <string>
#include <vector>

#include "windows/MainForm.h"
#include "base/Paths.h"
#include "base/WinApp.h"
#include "program/CommandLine.h"
#include "program/Program.h"
#include "ecu/ComPort.h"

namespace {
// SIGTERM, SIGINT and SIGHUP close the window the ordinary way, so settings are still saved.
int signalPipe[2] = {-1, -1};
void OnSignal(int) {
  char c = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}
}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer before Qt starts, so they work without a display.
  const TCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (line.Action == TCommandLine::Version) {
    std::fputs(VersionBanner("revscope").c_str(), stdout);
    return 0;
  }
  if (line.Action == TCommandLine::Help) {
    std::fputs(ProgramHelp(TWinApp("Revscope.ini").IniPath(), MachineSettingsPath()).c_str(), stdout);
    return 0;
  }
  QApplication app(argc, argv);
  // Numbers in files and formatted values always use '.', whatever the desktop's locale.
  std::setlocale(LC_NUMERIC, "C");
  // A file grown beyond the size limit fails its save (and says so) instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication::setApplicationName("Revscope");
  QApplication::setOrganizationName("Torvane");

  TProgramOptions options;
  options.ShowError = [](const std::string& text) {
    QMessageBox::critical(nullptr, "Revscope", QString::fromStdString(text));
  };
  options.WithBusyCursor = [](const std::function<void()>& work) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    work();
    QGuiApplication::restoreOverrideCursor();
  };

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  try {
    TProgram program(args, options);
    // --simulate: this run talks to the built-in simulated ECU; the stored port is left alone.
    if (line.Simulate) program.PollThread->Port()->SetDevicePath(SimulatedDevicePath());
    int rc;
    {
      TMainForm form(program);
      std::unique_ptr<QSocketNotifier> notifier;
      if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &form, [&form] {
          char buf[16];
          while (::read(signalPipe[0], buf, sizeof buf) > 0) {
          }
          form.close();
        });
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
      }
      form.show();
      // Once the window is up: the recordings a crash or a kill left unsaved.
      QTimer::singleShot(0, &form, [&form] { form.OfferRecovery(); });
      rc = app.exec();
    }
    // The threads stop before the settings they use are saved.
    program.StopThreads();
    program.SaveSettings();
    return rc;
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Revscope", QString::fromUtf8(e.what()));
    return 1;
  }
}
