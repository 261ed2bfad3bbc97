// revscope-cli and the journal: a killed run is recovered with at most 1.5 s lost, every stopping
// signal saves, a failed final save keeps the journal, recover and its list; and the faults found
// by trying the tool as a hostile user would (tiny durations, option forms, raw ids, repeated
// sensors, control characters, FIFOs, crafted files that would take all memory).
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CliBackground.h"
#include "CliSupport.h"
#include "recording/Journal.h"
#include "vars/SensorList.h"

namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// "length_ms: N" of info, or -1.
long LengthMs(const TCliSandbox& box, const std::string& file) {
  TCliResult r = box.Run({"info", file});
  for (const std::string& line : SplitLines(r.out))
    if (line.rfind("length_ms: ", 0) == 0) return std::stol(line.substr(11));
  return -1;
}

std::vector<std::string> Journals(const TCliSandbox& box) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(box.JournalDir(), ec)) names.push_back(e.path().string());
  return names;
}

// The length of the newest progress line ("length 0:00:03.012s, ...") in ms, or -1.
long LastProgressMs(const std::string& err) {
  long ms = -1;
  for (const std::string& line : SplitLines(err)) {
    int h, m, s, f;
    if (std::sscanf(line.c_str(), "length %d:%d:%d.%ds,", &h, &m, &s, &f) == 4) ms = ((h * 60L + m) * 60 + s) * 1000 + f;
  }
  return ms;
}

TBackgroundCli StartLog(const TCliSandbox& box, const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"log", "--port", "sim"};
  args.insert(args.end(), extra.begin(), extra.end());
  return TBackgroundCli(box.Path("bin/revscope-cli"), args, box.Env(), box.Dir(), box.Path("log.err"));
}

// A journal as a run that crashed leaves it in the sandbox: one chunk a second, each with one
// sample of the revs (raw value k in chunk k).
std::string CrashedJournal(const TCliSandbox& box, int chunks) {
  TSensorList sensors;
  sensors.BuildVariables();
  TRecording rec(*sensors.RawVars);
  rec.CreateHistories();
  rec.SetDescription("Lost");
  TJournal journal(rec, box.JournalDir(), 60000);
  EXPECT_TRUE(journal.Start());
  for (int k = 1; k <= chunks; ++k) {
    rec.HistoryFor(*sensors.RawRevs)->Append(static_cast<uint32_t>(k) * 100000, static_cast<uint16_t>(k));
    rec.LengthMs = static_cast<uint32_t>(k) * 1000;
    journal.FlushNow();
  }
  journal.Finish();
  return journal.Path();
}

// The number of samples of a history in info's listing, or -1.
long HistorySamples(const TCliSandbox& box, const std::string& file, int id) {
  for (const std::string& line : SplitLines(box.Run({"info", file}).out))
    if (line.rfind("history\t" + std::to_string(id) + "\t", 0) == 0) return std::stol(line.substr(line.rfind('\t') + 1));
  return -1;
}

}  // namespace

TEST(CliJournal, AKilledRunIsRecoveredWithAtMostOneAndAHalfSecondsLost) {
  TCliSandbox box;
  TBackgroundCli log = StartLog(box, {"--out", "run.rec"});
  // Kill it the moment it reports three seconds recorded.
  long printed = -1;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (printed < 3000 && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    printed = LastProgressMs(ReadText(box.Path("log.err")));
  }
  ASSERT_GE(printed, 3000) << ReadText(box.Path("log.err"));
  log.Signal(SIGKILL);
  log.Wait();
  EXPECT_FALSE(fs::exists(box.Path("run.rec")));
  ASSERT_EQ(Journals(box).size(), 1u);

  TCliResult list = box.Run({"recover", "--list"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_TRUE(Contains(list.out, Journals(box)[0] + "\t")) << list.out;
  EXPECT_TRUE(Contains(list.out, "\tRecording #1\tunsaved\n")) << list.out;

  TCliResult r = box.Run({"recover", "--out", "back.rec"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.err, "Saved back.rec (")) << r.err;
  const long recovered = LengthMs(box, box.Path("back.rec"));
  EXPECT_GE(recovered, printed - 1500) << "printed " << printed;
  EXPECT_LE(recovered, printed + 1000);
  // Saved: nothing is left to recover.
  EXPECT_TRUE(Journals(box).empty());
  TCliResult again = box.Run({"recover", "--out", "again.rec"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(again.err, "revscope-cli: no unsaved recording to recover in " + box.JournalDir() + "\n");
}

TEST(CliJournal, HangupAndABrokenPipeSaveTheRunLikeAnInterrupt) {
  for (int sig : {SIGHUP, SIGPIPE, SIGTERM}) {
    TCliSandbox box;
    TBackgroundCli log = StartLog(box, {"--out", "run.rec"});
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    log.Signal(sig);
    EXPECT_EQ(log.Wait(), 0) << sig << ReadText(box.Path("log.err"));
    EXPECT_GE(LengthMs(box, box.Path("run.rec")), 300) << sig;
    EXPECT_TRUE(Journals(box).empty()) << sig;  // saved, so the journal is gone
  }
}

TEST(CliJournal, AFailedFinalSaveSaysWhyAndKeepsTheJournalForRecovery) {
  TCliSandbox box;
  fs::create_directories(box.Path("usb"));
  TBackgroundCli log = StartLog(box, {"--out", "usb/run.rec"});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  fs::remove_all(box.Path("usb"));  // the stick was pulled
  log.Signal(SIGTERM);
  EXPECT_EQ(log.Wait(), 1);
  const std::string err = ReadText(box.Path("log.err"));
  EXPECT_TRUE(Contains(err, "revscope-cli: Could not save recording 'usb/run.rec' - cannot create a temporary file: No "
                            "such file or directory\n"))
      << err;
  ASSERT_EQ(Journals(box).size(), 1u);
  const std::string journal = Journals(box)[0];
  EXPECT_TRUE(Contains(err, "recover " + journal + " --out FILE.rec")) << err;
  // By its bare name, as the list shows it.
  TCliResult r = box.Run({"recover", fs::path(journal).filename().string(), "--out=run.rec"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GE(LengthMs(box, box.Path("run.rec")), 1000);
}

TEST(CliJournal, RecoverChecksItsArguments) {
  TCliSandbox box;
  EXPECT_EQ(box.Run({"recover"}).exitCode, 2);  // no --out
  EXPECT_EQ(box.Run({"recover", "--list", "--out", "x.rec"}).exitCode, 2);
  EXPECT_EQ(box.Run({"recover", "a", "b", "--out", "x.rec"}).exitCode, 2);
  TCliResult none = box.Run({"recover", "--list"});
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_EQ(none.out, "");
  WriteText(box.Path("fake.journal"), "not a journal at all");
  TCliResult bad = box.Run({"recover", box.Path("fake.journal"), "--out", "x.rec"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "revscope-cli: cannot recover '" + box.Path("fake.journal") + "' is not a recording journal\n");
  TCliResult out = box.Run({"recover", "--out", "missing/x.rec"});
  EXPECT_EQ(out.exitCode, 1);
  EXPECT_EQ(out.err, "revscope-cli: cannot write 'missing/x.rec': No such file or directory\n");
}

TEST(CliJournal, ADamagedJournalGivesWhatCanBeReadSaysWhereTheDamageIsAndStays) {
  TCliSandbox box;
  const std::string path = CrashedJournal(box, 3);
  std::string bytes = ReadText(path);
  const size_t header = bytes.size() - 3 * 166;  // three chunks of 166 bytes
  bytes[header + 100] ^= 0x10;                    // inside the first chunk
  WriteText(path, bytes);
  TCliResult r = box.Run({"recover", path, "--out", "back.rec"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.err, "Saved back.rec (0:00:03.000s, 'Lost') from " + path + "\n")) << r.err;
  EXPECT_TRUE(Contains(r.err, "revscope-cli: " + path + " is damaged: read " + std::to_string(header + 2 * 166) + " of " +
                                  std::to_string(bytes.size()) + " bytes (2 chunks); damaged: bytes " +
                                  std::to_string(header) + "-" + std::to_string(header + 165) +
                                  "; what was read is saved, and the journal is kept\n"))
      << r.err;
  EXPECT_EQ(HistorySamples(box, "back.rec", 1), 2);
  EXPECT_TRUE(fs::exists(path));
  // Nothing readable at all: nothing saved, the journal stays, and the run fails.
  WriteText(path, bytes.substr(0, header + 166));
  TCliResult none = box.Run({"recover", path, "--out", "none.rec"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.err, "revscope-cli: nothing could be recovered from " + path + ": read " + std::to_string(header) +
                          " of " + std::to_string(header + 166) + " bytes (0 chunks); damaged: bytes " +
                          std::to_string(header) + "-" + std::to_string(header + 165) +
                          " (the end); the journal is kept\n");
  EXPECT_FALSE(fs::exists(box.Path("none.rec")));
  EXPECT_TRUE(fs::exists(path));
}

TEST(CliJournal, ASecondRunToTheSameFileFailsAtOnceNamingTheFirst) {
  TCliSandbox box;
  TBackgroundCli first = StartLog(box, {"--out", "run.rec"});
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (LastProgressMs(ReadText(box.Path("log.err"))) < 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // By another name for the same file, too.
  fs::create_directories(box.Path("sub"));
  TCliResult second = box.Run({"log", "--port", "sim", "--out", "sub/../run.rec", "--seconds", "1"});
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.err, "revscope-cli: 'sub/../run.rec' is being recorded into by another run (process " +
                            std::to_string(first.Pid()) + ")\n");
  first.Signal(SIGINT);
  EXPECT_EQ(first.Wait(), 0) << ReadText(box.Path("log.err"));
  EXPECT_GE(LengthMs(box, box.Path("run.rec")), 0);
  EXPECT_FALSE(fs::exists(box.Path(".run.rec.lock")));
}

TEST(CliJournal, RecoveringAJournalOntoItselfIsRefused) {
  TCliSandbox box;
  const std::string path = CrashedJournal(box, 2);
  const std::string before = ReadText(path);
  fs::create_symlink(path, box.Path("link.rec"));
  fs::create_hard_link(path, box.Path("hard.rec"));
  for (const std::string& out : {path, box.Path("link.rec"), box.Path("hard.rec")}) {
    TCliResult r = box.Run({"recover", path, "--out", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "revscope-cli: cannot write '" + out + "': it is the journal being recovered\n");
  }
  EXPECT_EQ(ReadText(path), before);
}

// ---------------------------------------------------------------------------------------------
// Faults

TEST(CliJournal, AnyPositiveDurationEndsAndEveryOptionTakesBothForms) {
  TCliSandbox box;
  TCliResult r = box.Run({"log", "--port=sim", "--out=tiny.rec", "--seconds=0.0004", "--preset=all"}, {}, 20);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GE(LengthMs(box, box.Path("tiny.rec")), 0);
  TBackgroundCli sim(box.Path("bin/revscope-cli"), {"simulate", "--model=4"}, box.Env(), box.Dir(), box.Path("sim.err"));
  const std::string pty = sim.FirstLine();
  ASSERT_FALSE(pty.empty());
  TCliResult any = box.Run({"log", "--port", pty, "--out", "any.rec", "--seconds", ".5"});
  ASSERT_EQ(any.exitCode, 0) << any.err;
  EXPECT_TRUE(Contains(box.Run({"info", "any.rec"}).out, "model: 4\n"));
  sim.Signal(SIGINT);
  sim.Wait();
}

TEST(CliJournal, ExportExplainsARawIdAndWritesARepeatedSensorOnce) {
  TCliSandbox box;
  const std::string rec = std::string(REVSCOPE_TEST_DATA) + "/rec/ok-obd1.rec";
  TCliResult raw = box.Run({"export", rec, "--sensor", "1"});
  EXPECT_EQ(raw.exitCode, 2);
  EXPECT_TRUE(Contains(raw.err, "sensor 1 is the raw ECU variable 'Revs'; ")) << raw.err;
  EXPECT_TRUE(Contains(raw.err, "export a display sensor it feeds: 1008 (Revs)")) << raw.err;
  TCliResult twice = box.Run({"export", rec, "--sensor", "Revs", "--sensor", "1008", "--sensor=revs"});
  ASSERT_EQ(twice.exitCode, 0) << twice.err;
  EXPECT_EQ(twice.out, "./Recording #1-Revs.tdf\n");
}

TEST(CliJournal, ControlCharactersInADescriptionAreShownEscapedAndKeptOutOfFileNames) {
  TCliSandbox box;
  // A recording of the simulator, renamed by a hostile hand.
  ASSERT_EQ(box.Run({"log", "--port", "sim", "--out", "r.rec", "--seconds", "0.3"}).exitCode, 0);
  std::string bytes = ReadText(box.Path("r.rec"));
  const std::string forged = "a\nlength_ms: 1\x1b[2J";
  bytes.replace(24, forged.size(), forged);
  WriteText(box.Path("r.rec"), bytes);
  TCliResult info = box.Run({"info", "r.rec"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_TRUE(Contains(info.out, "description: a\\nlength_ms: 1\\x1b[2J\n")) << info.out;
  TCliResult ex = box.Run({"export", "r.rec", "--sensor", "Revs"});
  ASSERT_EQ(ex.exitCode, 0) << ex.err;
  EXPECT_EQ(ex.out, "./a-length_ms: 1-[2J-Revs.tdf\n");
}

TEST(CliJournal, AFifoIsRefusedInsteadOfWaitedOn) {
  TCliSandbox box;
  ASSERT_EQ(mkfifo(box.Path("pipe.rec").c_str(), 0600), 0);
  TCliResult info = box.Run({"info", box.Path("pipe.rec")}, {}, 10);
  EXPECT_EQ(info.exitCode, 1);
  EXPECT_EQ(info.err, "Could not load '" + box.Path("pipe.rec") + "' - not a regular file\n");
  TCliResult ex = box.Run({"export", box.Path("pipe.rec"), "--sensor", "Revs"}, {}, 10);
  EXPECT_EQ(ex.exitCode, 1);
}

TEST(CliJournal, ACraftedFileOfManyOneSampleBlocksTakesBoundedMemory) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer's shadow memory is no measure of the program's own";
#endif
  TCliSandbox box;
  // 200 000 one-sample blocks of the same sensor: 27 MB.
  constexpr uint32_t kBlocks = 200000;
  std::string header(652, '\0');
  auto put = [](std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
  };
  put(header, 0, 652);
  put(header, 4, 12370);
  put(header, 8, kBlocks);
  std::string block(134, '\0');
  put(block, 0, 128);
  put(block, 4, 12360);
  put(block, 8, 1);
  put(block, 12, 1);
  {
    std::ofstream out(box.Path("many.rec"), std::ios::binary);
    out << header;
    for (uint32_t i = 0; i < kBlocks; ++i) out << block;
  }
  const auto size = static_cast<long>(fs::file_size(box.Path("many.rec")));
  TCliResult r = box.Run({"info", box.Path("many.rec")}, {}, 120);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "histories: 200000\n"));
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const long peakBytes = usage.ru_maxrss * 1024L;
  EXPECT_LE(peakBytes, 4 * size + 64L * 1024 * 1024) << "file " << size << " bytes";
}

TEST(CliJournal, AFullDiskIsReportedForTheJournalAndTheSaveAndWhatWasWrittenRecovers) {
  TCliSandbox box;
  // Files may not grow beyond 12 KB: the journal fills up after a second or two, the save fails.
  TCliResult r = RunProgram("/bin/sh",
                            {"-c", "ulimit -f 12; exec " + box.Path("bin/revscope-cli") +
                                       " log --port sim --out run.rec --seconds 4"},
                            box.Env(), box.Dir());
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Contains(r.err, "revscope-cli: the journal cannot be written: cannot write '")) << r.err;
  EXPECT_TRUE(Contains(r.err, "': File too large\n")) << r.err;
  EXPECT_TRUE(Contains(r.err, "Could not save recording 'run.rec' - cannot write: File too large\n")) << r.err;
  ASSERT_EQ(Journals(box).size(), 1u);
  // The journal is full too: the message says how much of the run it holds.
  EXPECT_TRUE(Contains(r.err, "The journal " + Journals(box)[0] + " holds only 0:00:0")) << r.err;
  EXPECT_TRUE(Contains(r.err, " samples); the rest could not be written: cannot write '")) << r.err;
  EXPECT_FALSE(Contains(r.err, "The recording is kept in")) << r.err;
  TCliResult back = box.Run({"recover", "--out", "back.rec"});
  ASSERT_EQ(back.exitCode, 0) << back.err;
  EXPECT_GE(LengthMs(box, box.Path("back.rec")), 500);
}
