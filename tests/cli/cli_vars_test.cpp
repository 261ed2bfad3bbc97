// revscope-cli vars, --help and usage errors.
#include "CliSupport.h"

namespace {

TEST(CliVars, PrintsTheCatalogueWithTheSettingsApplied) {
  TCliSandbox box;
  const std::string ini = "[Rates]\nVar1=7\nVar9=-1\n[PollFlag]\nVar6=0\n";
  WriteText(box.IniPath(), ini);
  WriteText(box.MachinePath(), "[Units]\nTemperatureUnit=1\nSpeedUnit=1\n");
  TCliResult r = box.Run({"vars"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 39u + 48u);
  EXPECT_EQ(lines[0], "raw\t1\tRevs\t10\t7\t2\t1\t1");
  EXPECT_EQ(lines[1], "raw\t161\tSpeed\t231\t20\t2\t1\t1");
  EXPECT_EQ(lines[4], "raw\t9\tMAP\t7\t-1\t0\t1\t1");
  EXPECT_EQ(lines[6], "raw\t6\tTPS\t8\t20\t0\t0\t1");
  EXPECT_EQ(lines[32], "raw\t158\tLap\t238\t0\t0\t0\t0");
  EXPECT_EQ(lines[35], "raw\t160\tDatalog Error\t0\t1\t0\t1\t0");
  EXPECT_EQ(lines[38], "raw\t102\tIAC off\t41\t1\t2\t1\t1");
  EXPECT_EQ(lines[39], "display\t1008\tRevs\t1\t4\trpm");
  EXPECT_EQ(lines[40], "display\t1126\tSpeed\t161\t6\tkph");
  EXPECT_EQ(lines[43], "display\t1003\tWater Temp\t4\t2\t\xC2\xB0" "C");
  EXPECT_EQ(lines[39 + 21], "display\t1018\tA/C Switch\t3\t13\t");
  EXPECT_EQ(lines.back(), "display\t1047\tIdle Difference\t100\t4\trpm");
  // The tool reads the settings and never writes them.
  EXPECT_EQ(ReadText(box.IniPath()), ini);
  EXPECT_EQ(ReadText(box.MachinePath()), "[Units]\nTemperatureUnit=1\nSpeedUnit=1\n");
}

TEST(CliVars, WorksWithNoSettingsAndCreatesNone) {
  TCliSandbox box;
  TCliResult r = box.Run({"vars"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 87u);
  EXPECT_EQ(lines[43], "display\t1003\tWater Temp\t4\t2\t\xC2\xB0" "F");
  EXPECT_FALSE(std::filesystem::exists(box.IniPath()));
  EXPECT_FALSE(std::filesystem::exists(box.MachinePath()));
}

TEST(CliUsage, HelpExplainsEverySubcommand) {
  TCliSandbox box;
  TCliResult r = box.Run({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* word : {"vars", "info", "export", "log", "simulate", "--sensor", "--out", "--port", "--seconds",
                           "--preset", "--model"})
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
}

TEST(CliUsage, UnknownArgumentsAreUsageErrors) {
  TCliSandbox box;
  for (const auto& args : {std::vector<std::string>{}, {"frobnicate"}, {"vars", "--bogus"}}) {
    TCliResult r = box.Run(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("revscope-cli: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos);
  }
}

}  // namespace
