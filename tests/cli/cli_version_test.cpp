// revscope-cli --version and what --help says about it and about the settings.
#include "CliSupport.h"

namespace {

TEST(CliVersion, PrintsTheProjectVersionAndLicence) {
  TCliSandbox box;
  TCliResult r = box.Run({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "revscope-cli (Revscope) " REVSCOPE_VERSION
            "\nCopyright (c) 2026 Torvane\nMIT License: free to use, copy, modify and distribute; no warranty.\n");
  // After a command it is an unknown option there.
  r = box.Run({"vars", "--version"});
  EXPECT_EQ(r.exitCode, 2);
}

TEST(CliVersion, HelpNamesVersionAndWhereTheSettingsAreRead) {
  TCliSandbox box;
  TCliResult r = box.Run({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* text : {"--version", "$XDG_CONFIG_HOME/Revscope/Revscope.ini", "Torvane/Settings.ini", "revscope-cli(1)"})
    EXPECT_NE(r.out.find(text), std::string::npos) << text;
}

}  // namespace
