// The program's owner: what it makes at start-up, the order it takes things down, and two owners
// side by side.
#include <gtest/gtest.h>

#include <thread>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "TestSupport.h"
#include "program/Program.h"
#include "recording/JournalRecovery.h"
#include "recording/RecordingManager.h"

namespace {

TProgramOptions ScratchOptions(const TTempDir& dir, const std::string& name, bool threads = false) {
  TProgramOptions options;
  options.StartThreads = threads;
  options.IniPath = dir.File(name + ".ini");
  options.MachinePath = dir.File(name + "-machine.ini");
  return options;
}

TEST(Program, StartUpBuildsTheCatalogueReadsTheSettingsAndWiresTheContext) {
  TTempDir dir;
  WriteFileBytes(dir.File("a.ini"), "[Settings]\nMapIs3Bar=1\n");
  TProgramOptions options = ScratchOptions(dir, "a");
  int busy = 0;
  options.WithBusyCursor = [&busy](const std::function<void()>& work) {
    ++busy;
    work();
  };
  TProgram program({}, options);
  EXPECT_EQ(program.Sensors.RawVars->Count(), 39);
  EXPECT_EQ(program.Sensors.DisplayVars->Count(), 48);
  EXPECT_EQ(&program.GraphSensors.Vars, program.Sensors.DisplayVars);
  EXPECT_EQ(program.Recordings.Count(), 0);
  EXPECT_EQ(program.CurrentRecording(), nullptr);  // no arguments: nothing loaded
  EXPECT_EQ(program.Config.IniPath, dir.File("a.ini"));
  EXPECT_EQ(program.RecentFiles.MaxCount, 8);
  EXPECT_STREQ(program.EcuType.FamilyName(), "Unknown");
  EXPECT_EQ(program.EcuType.MapIs3Bar, 1);
  EXPECT_EQ(program.Core.Settings, &program.Config);
  EXPECT_EQ(program.Core.Sensors, &program.Sensors);
  EXPECT_EQ(program.Core.Recordings, &program.Recordings);
  EXPECT_EQ(program.Core.Journals, &program.Journals);
  EXPECT_EQ(program.Core.EcuType, &program.EcuType);
  EXPECT_EQ(program.PollThread, nullptr);
  EXPECT_EQ(program.Core.Player, nullptr);
  // The default ranges were set under the busy cursor.
  EXPECT_GE(busy, 1);
  EXPECT_EQ(program.Sensors.Revs->RangeMax, 8500);
  EXPECT_EQ(program.Sensors.FindDisplay(1126)->Tick, 25);
}

TEST(Program, TwoOwnersSideBySideShareNothing) {
  TTempDir dir;
  TProgram a({}, ScratchOptions(dir, "a", true));
  TProgram b({}, ScratchOptions(dir, "b", true));
  ASSERT_NE(a.PollThread, nullptr);
  ASSERT_NE(b.PollThread, nullptr);
  EXPECT_EQ(a.Core.Player, a.PlayThread.get());

  // A recording closed in one owner is released by that owner's threads only.
  int releasedA = 0, releasedB = 0;
  a.Recordings.AddReleaser([&](TRecording*) { ++releasedA; });
  b.Recordings.AddReleaser([&](TRecording*) { ++releasedB; });
  auto* rec = new TRecording(*a.Sensors.RawVars);
  a.Recordings.Add(rec);
  CloseRecording(a.Core, rec);
  EXPECT_EQ(releasedA, 1);
  EXPECT_EQ(releasedB, 0);

  // Settings and hooks are each owner's own.
  a.Config.GraphTimespan = 17;
  EXPECT_NE(b.Config.GraphTimespan, 17);
  int refreshedA = 0;
  a.Recordings.Hooks.RefreshViews = [&] { ++refreshedA; };
  RefreshRecordings(b.Core);
  EXPECT_EQ(refreshedA, 0);
  RefreshRecordings(a.Core);
  EXPECT_EQ(refreshedA, 1);

  // Each port has its own diagnostics.
  std::vector<std::string> linesA;
  a.PollThread->Port()->Debug.SetSink([&](const std::string& l) { linesA.push_back(l); });
  b.PollThread->Port()->Debug.Write("b only");
  EXPECT_TRUE(linesA.empty());
  a.PollThread->Port()->Debug.SetSink({});
}

TEST(Program, ShutdownStopsThreadsBeforeTheRecordingsAndEndsJournalsKeepingTheirFiles) {
  TTempDir dir;
  std::string journalPath;
  {
    TProgram program({}, ScratchOptions(dir, "p", true));
    auto* rec = new TRecording(*program.Sensors.RawVars);
    rec->CreateHistories();
    rec->History(0)->Append(100, 1);
    program.Recordings.Add(rec);
    SetCurrentRecording(program.Core, rec);
    program.PlayThread->Play();
    ASSERT_TRUE(program.Journals.Begin(*rec, dir.File("journals")));
    journalPath = program.Journals.Of(rec)->Path();
  }
  // The recording was destroyed after the player stopped, and its journal stays for recovery.
  EXPECT_TRUE(std::filesystem::exists(journalPath));
  EXPECT_TRUE(ReadJournalInfo(journalPath).Valid);
}

TEST(Program, TheReadTimeoutAndTheUserInterfacePriorityTakeEffect) {
  TTempDir dir;
  WriteFileBytes(dir.File("t.ini"), "[Serial Settings]\nComReadTimeout=250\n[Settings]\nUpdateUIThreadPriority=-2\n");
  TProgram program({}, ScratchOptions(dir, "t", true));
  EXPECT_EQ(program.PollThread->Port()->TimeoutMs(), 250);
  program.Config.ComReadTimeout = 0;
  program.ApplyLinkSettings();
  EXPECT_EQ(program.PollThread->Port()->TimeoutMs(), 10);  // never so short that no reply can come

  // The priority belongs to the thread that applies it: lowering needs no privileges.
  int nice = 0;
  std::thread ui([&] {
    program.ApplyPriorities();
    errno = 0;
    nice = getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
  });
  ui.join();
  EXPECT_EQ(nice, 10);
}

TEST(Program, ProgramPaths) {
  std::string dir = TWinApp::ProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '/');
  EXPECT_EQ(TWinApp::ExePath().rfind(dir + "/", 0), 0u);
  char version[32] = "unchanged";
  EXPECT_TRUE(TWinApp::FileVersion(version, sizeof version));
  EXPECT_NE(std::string(version), "unchanged");
  char tiny[3];
  EXPECT_TRUE(TWinApp::FileVersion(tiny, sizeof tiny));
  EXPECT_EQ(std::string(tiny).size(), 2u);
}

}  // namespace
