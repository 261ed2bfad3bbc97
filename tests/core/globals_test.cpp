// Start-up and shutdown of the program's globals.
#include <gtest/gtest.h>

#include "program/Program.h"

namespace {

TEST(Globals, InitCreatesEverythingAndUnInitClearsEverything) {
  TGlobalInitHooks hooks;
  hooks.StartThreads = false;
  int busy = 0;
  hooks.WithBusyCursor = [&busy](const std::function<void()>& work) {
    ++busy;
    work();
  };
  GlobalInit({}, hooks);
  ASSERT_NE(WinApp, nullptr);
  ASSERT_NE(SensorList, nullptr);
  EXPECT_EQ(SensorList->RawVars->Count(), 39);
  EXPECT_EQ(SensorList->DisplayVars->Count(), 48);
  ASSERT_NE(GraphSensorList, nullptr);
  EXPECT_EQ(&GraphSensorList->Vars, SensorList->DisplayVars);
  ASSERT_NE(RecordingList, nullptr);
  EXPECT_EQ(RecordingList->Count(), 0);
  EXPECT_EQ(CurrentRecording(), nullptr);  // no arguments: nothing loaded
  ASSERT_NE(Config, nullptr);
  EXPECT_EQ(Config->IniPath, WinApp->IniPath());
  ASSERT_NE(RecentFiles, nullptr);
  EXPECT_EQ(RecentFiles->MaxCount, 8);
  ASSERT_NE(ECUType, nullptr);
  EXPECT_STREQ(ECUType->FamilyName(), "Unknown");
  EXPECT_EQ(ECUType->MapIs3Bar, Config->MapIs3Bar ? 1 : 0);
  // The default ranges were set under the busy cursor.
  EXPECT_GE(busy, 1);
  EXPECT_EQ(SensorList->Revs->RangeMax, 8500);
  EXPECT_EQ(SensorList->FindDisplay(1126)->Tick, 25);

  GlobalUnInit(false);
  EXPECT_EQ(WinApp, nullptr);
  EXPECT_EQ(SensorList, nullptr);
  EXPECT_EQ(GraphSensorList, nullptr);
  EXPECT_EQ(RecordingList, nullptr);
  EXPECT_EQ(Config, nullptr);
  EXPECT_EQ(RecentFiles, nullptr);
  EXPECT_EQ(ECUType, nullptr);
  EXPECT_EQ(PollThread, nullptr);
  EXPECT_EQ(PlayThread, nullptr);
}

TEST(Globals, ProgramPaths) {
  TWinApp app("Revscope.ini", "Revscope.hlp");
  std::string dir = TWinApp::ProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(dir.back(), '/');
  EXPECT_EQ(TWinApp::ExePath().rfind(dir + "/", 0), 0u);
  EXPECT_EQ(app.HelpPath(), dir + "/Revscope.hlp");
  char version[32] = "unchanged";
  EXPECT_TRUE(TWinApp::FileVersion(version, sizeof version));
  EXPECT_NE(std::string(version), "unchanged");
  char tiny[3];
  EXPECT_TRUE(TWinApp::FileVersion(tiny, sizeof tiny));
  EXPECT_EQ(std::string(tiny).size(), 2u);
}

}  // namespace
