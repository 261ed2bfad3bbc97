// revscope-cli log: a headless logging run against the built-in simulated ECU or a simulator on a
// pseudo-terminal, its presets and settings, its progress lines, interruption, a vanished port,
// a port that cannot be opened and bad arguments.
#include <chrono>
#include <filesystem>

#include "CliBackground.h"
#include "CliSupport.h"

namespace {

std::map<std::string, std::string> SandboxEnv(const TCliSandbox& box) { return box.Env(); }

struct TRecInfo {
  int exitCode = -1;
  std::string description;
  long lengthMs = -1;
  int model = -1;
  std::map<int, int> samples;  // history id -> samples
};

// What "revscope-cli info" says about a recording file.
TRecInfo Info(const TCliSandbox& box, const std::string& file) {
  TRecInfo info;
  TCliResult r = box.Run({"info", file});
  info.exitCode = r.exitCode;
  for (const std::string& line : SplitLines(r.out)) {
    if (line.rfind("description: ", 0) == 0) info.description = line.substr(13);
    if (line.rfind("length_ms: ", 0) == 0) info.lengthMs = std::stol(line.substr(11));
    if (line.rfind("model: ", 0) == 0) info.model = std::stoi(line.substr(7));
    if (line.rfind("history\t", 0) == 0) {
      size_t tab = line.find('\t', 8);
      info.samples[std::stoi(line.substr(8, tab - 8))] = std::stoi(line.substr(tab + 1));
    }
  }
  return info;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(CliLog, RecordsTheBuiltInSimulatorForTheGivenTimeAndSavesTheFile) {
  TCliSandbox box;
  TCliResult r = box.Run({"log", "--port", "sim", "--out", "drive.rec", "--seconds", "1.5"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  // Progress once a second on standard error: length, vars/s, errs/s.
  EXPECT_TRUE(Contains(r.err, " vars/s, 0 errs/s\n")) << r.err;
  EXPECT_TRUE(Contains(r.err, "length 0:00:0")) << r.err;
  EXPECT_TRUE(Contains(r.err, "Saved drive.rec")) << r.err;

  TRecInfo info = Info(box, box.Path("drive.rec"));
  ASSERT_EQ(info.exitCode, 0);
  EXPECT_EQ(info.description, "Recording #1");
  EXPECT_EQ(info.model, 2);
  EXPECT_GE(info.lengthMs, 1400);
  EXPECT_LT(info.lengthMs, 3000);
  // Every polled variable of an OBD1 ECU, speed under its OBD1 id; at 19200 baud each goes
  // around several times a second.
  for (int id : {1, 19, 4, 5, 9, 165, 6, 15, 16, 2, 3, 112, 113, 110, 111, 13, 10000, 10001, 159, 40, 41, 42, 53, 47,
                 48, 49, 50, 51, 46, 52, 12, 11, 100, 101, 102}) {
    EXPECT_GE(info.samples[id], 10) << "id " << id;
  }
  EXPECT_EQ(info.samples.count(161), 0u);
  EXPECT_EQ(info.samples.count(166), 0u);  // not supported by this family
  EXPECT_EQ(info.samples.count(160), 0u);  // no link errors
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(box.Dir())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST(CliLog, RecordsASimulatorOnAPseudoTerminalWithAPreset) {
  TCliSandbox box;
  TBackgroundCli sim(box.Path("bin/revscope-cli"), {"simulate"}, SandboxEnv(box), box.Dir(), box.Path("sim.err"));
  const std::string path = sim.FirstLine();
  ASSERT_FALSE(path.empty());
  TCliResult r = box.Run({"log", "--port", path, "--out", "perf.rec", "--seconds", "1", "--preset", "performance"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  TRecInfo info = Info(box, box.Path("perf.rec"));
  ASSERT_EQ(info.exitCode, 0);
  // Revs and speed, and the error codes that every preset keeps; "IAC off" is shown by no display
  // variable, so no preset touches it.
  std::map<int, int> ids;
  for (const auto& [id, n] : info.samples) ids[id] = n > 0;
  EXPECT_EQ(ids, (std::map<int, int>{{1, 1}, {19, 1}, {40, 1}, {41, 1}, {42, 1}, {53, 1}, {102, 1}}));
  sim.Signal(SIGINT);
  EXPECT_EQ(sim.Wait(), 0);
}

TEST(CliLog, TheSettingsPollFlagsApplyAndAComNameFollowsTheMachineMap) {
  TCliSandbox box;
  TBackgroundCli sim(box.Path("bin/revscope-cli"), {"simulate"}, SandboxEnv(box), box.Dir(), box.Path("sim.err"));
  const std::string path = sim.FirstLine();
  ASSERT_FALSE(path.empty());
  WriteText(box.IniPath(), "[PollFlag]\nVar1=0\nVar4=0\n");
  WriteText(box.MachinePath(), "[Serial]\nCOM6=" + path + "\n");
  TCliResult r = box.Run({"log", "--port", "COM6", "--out", "flags.rec", "--seconds", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  TRecInfo info = Info(box, box.Path("flags.rec"));
  EXPECT_EQ(info.samples.count(1), 0u);
  EXPECT_EQ(info.samples.count(4), 0u);
  EXPECT_GT(info.samples[9], 0);
  // The tool never writes the settings back.
  EXPECT_EQ(ReadText(box.IniPath()), "[PollFlag]\nVar1=0\nVar4=0\n");
  sim.Signal(SIGINT);
  EXPECT_EQ(sim.Wait(), 0);
}

TEST(CliLog, AnInterruptEndsTheRunAndSavesWhatWasRecorded) {
  TCliSandbox box;
  TBackgroundCli log(box.Path("bin/revscope-cli"), {"log", "--port", "sim", "--out", "stop.rec"}, SandboxEnv(box),
                     box.Dir(), box.Path("log.err"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  EXPECT_TRUE(log.Running());
  log.Signal(SIGINT);
  EXPECT_EQ(log.Wait(), 0) << ReadText(box.Path("log.err"));
  TRecInfo info = Info(box, box.Path("stop.rec"));
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_GE(info.lengthMs, 500);
  EXPECT_GT(info.samples[1], 0);
}

TEST(CliLog, AVanishedPortEndsWithConnectionErrorAndKeepsTheRecording) {
  TCliSandbox box;
  TBackgroundCli sim(box.Path("bin/revscope-cli"), {"simulate"}, SandboxEnv(box), box.Dir(), box.Path("sim.err"));
  const std::string path = sim.FirstLine();
  ASSERT_FALSE(path.empty());
  TBackgroundCli log(box.Path("bin/revscope-cli"), {"log", "--port", path, "--out", "lost.rec", "--seconds", "30"},
                     SandboxEnv(box), box.Dir(), box.Path("log.err"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  sim.Signal(SIGKILL);  // the other side of the terminal is gone at once
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(log.Wait(10000), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
  const std::string err = ReadText(box.Path("log.err"));
  EXPECT_TRUE(Contains(err, "Connection error\nError: ")) << err;
  TRecInfo info = Info(box, box.Path("lost.rec"));
  ASSERT_EQ(info.exitCode, 0) << err;
  EXPECT_GT(info.samples[1], 0);
  EXPECT_GE(info.samples[160], 3);  // the error spikes
}

TEST(CliLog, APortThatCannotBeOpenedIsReportedAtOnceWithTheDeviceAndReason) {
  TCliSandbox box;
  auto t0 = std::chrono::steady_clock::now();
  TCliResult r = box.Run({"log", "--port", "/dev/revscope-no-such-port", "--out", "x.rec", "--seconds", "5"});
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "revscope-cli: cannot open /dev/revscope-no-such-port: No such file or directory\n");
  EXPECT_FALSE(std::filesystem::exists(box.Path("x.rec")));

  WriteText(box.MachinePath(), "[Serial]\nCOM3=/dev/revscope-mapped\n");
  r = box.Run({"log", "--port", "COM3", "--out", "x.rec"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "revscope-cli: cannot open /dev/revscope-mapped: No such file or directory\n");
}

TEST(CliLog, AFileThatCannotBeWrittenFailsAtOnceWithThePathAndTheReason) {
  TCliSandbox box;
  auto t0 = std::chrono::steady_clock::now();
  TCliResult r = box.Run({"log", "--port", "sim", "--out", "missing-folder/x.rec", "--seconds", "30"});
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "revscope-cli: cannot write 'missing-folder/x.rec': No such file or directory\n");
  std::filesystem::create_directories(box.Path("a-folder"));
  r = box.Run({"log", "--port", "sim", "--out", "a-folder", "--seconds", "30"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "revscope-cli: cannot write 'a-folder': Is a directory\n");
  EXPECT_FALSE(std::filesystem::exists(box.JournalDir()));
}

TEST(CliLog, BadArgumentsAreUsageErrors) {
  TCliSandbox box;
  const std::vector<std::vector<std::string>> cases = {
      {"log", "--out", "x.rec"},
      {"log", "--port", "sim"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "0"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "-2"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "ten"},
      // Only plain decimal numbers.
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "0x1"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", " 1"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "1 "},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "inf"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "nan"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "1e1"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "+1"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "1.2.3"},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds", "."},
      {"log", "--port", "sim", "--out", "x.rec", "--seconds="},
      {"log", "--port", "sim", "--out", "x.rec", "--preset", "fast"},
      {"log", "--port", "sim", "--out", "x.rec", "--verbose"},
      {"log", "--port"},
  };
  for (const auto& args : cases) {
    TCliResult r = box.Run(args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_TRUE(Contains(r.err, "Try 'revscope-cli --help'")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(box.Path("x.rec")));
  }
}
