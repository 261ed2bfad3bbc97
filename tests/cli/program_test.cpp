// The desktop program as a whole: it starts, shows its window, and on closing writes every setting.
#ifdef REVSCOPE_PROGRAM
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "CliSupport.h"
#include "base/IniFile.h"

namespace {

TEST(Program, ClosingWritesEverySetting) {
  TCliSandbox box;
  std::filesystem::copy_file(REVSCOPE_PROGRAM, box.Path("bin/revscope"));
  WriteText(box.IniPath(), "[Settings]\nGraphTimespan=33\nSimulateECU=1\n[Unrelated]\nKeep=1\n");
  pid_t pid = fork();
  if (pid == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_CONFIG_HOME", box.Path("config").c_str(), 1);
    setenv("HOME", box.Dir().c_str(), 1);
    execl(box.Path("bin/revscope").c_str(), "revscope", "-nosplash", static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  sleep(2);  // let it reach its event loop
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  TIniFile ini(box.IniPath());
  EXPECT_EQ(ini.ReadInteger("Settings", "GraphTimespan", 0), 33);
  EXPECT_FALSE(ini.HasKey("Settings", "SimulateECU"));
  EXPECT_EQ(ini.ReadString("Unrelated", "Keep", ""), "1");
  for (const char* key : {"GraphTimespan", "FileDir", "SettingsPage", "UpdateUIThreadPriority", "PollThreadPriority",
                          "ProcessPriority", "UseDSRForRecording", "UseCDForLap", "AutoSaveRecordings",
                          "AutoCloseRecordings", "MapIs3Bar", "BaroSeaLevelPressure"})
    EXPECT_TRUE(ini.HasKey("Settings", key)) << key;
  EXPECT_TRUE(ini.HasKey("Serial Settings", "ComReadTimeout"));
  EXPECT_EQ(ini.Keys("Vehicle").size(), 17u);
  EXPECT_EQ(ini.Keys("Rates").size(), 39u);
  EXPECT_EQ(ini.Keys("PollFlag").size(), 39u);
  EXPECT_EQ(ini.ReadInteger("Graph", "Count", -1), 6);  // what a first start graphs
  EXPECT_EQ(ini.ReadInteger("Graph", "Var0", -1), 1008);

  TIniFile machine(box.MachinePath());
  EXPECT_EQ(machine.Keys("Vehicle"), std::vector<std::string>{"BaseIgnitionAdvance"});
  EXPECT_EQ(machine.Keys("Units").size(), 5u);
  EXPECT_EQ(machine.Keys("Poll").size(), 3u);
  EXPECT_TRUE(machine.HasKey("Serial", "ComPort"));
  EXPECT_TRUE(machine.HasKey("Serial", "ErrorTolerance"));
  EXPECT_EQ(machine.ReadString("Lambda", "QuickSelect", ""), "2");
  EXPECT_EQ(machine.ReadString("Lambda", "10", ""), "5.000 1.600");
}

}  // namespace
#endif
