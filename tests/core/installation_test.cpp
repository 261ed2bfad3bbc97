// What changes when the program is installed: where its INI file lives, its command line, its
// version, and the icon it gives the desktop.
#include <cmath>
#include <filesystem>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "TestSupport.h"
#include "base/WinApp.h"
#include "program/CommandLine.h"
#include "rules/ProgramIcon.h"

namespace {

namespace fs = std::filesystem;

TEST(IniPlace, BesideTheProgramOrInTheUsersConfiguration) {
  enum TFile { Absent, Writable, ReadOnly };
  struct Case {
    bool installed;
    TFile file;
    bool folderThere;  // a folder that is not there cannot be written
    bool beside;
  };
  const Case cases[] = {
      {false, Absent, true, true},      // a build: the file is made beside the program
      {false, Absent, false, false},
      {false, Writable, true, true},
      {false, ReadOnly, true, true},    // kept, and made writable when the settings are read
      {true, Absent, true, false},      // an installation never makes it beside itself
      {true, Writable, true, true},     // but uses one that is there and writable
      {true, ReadOnly, true, false},
  };
  for (const Case& c : cases) {
    // The permission bits do not bind the superuser.
    if (c.file == ReadOnly && ::geteuid() == 0) continue;
    TTempDir dir;
    const std::string bin = dir.File(c.folderThere ? "bin" : "missing/bin");
    if (c.folderThere) fs::create_directories(bin);
    if (c.file != Absent) {
      WriteFileBytes(bin + "/Revscope.ini", "[Settings]\n");
      if (c.file == ReadOnly) ::chmod((bin + "/Revscope.ini").c_str(), 0444);
    }
    const std::string expected = c.beside ? bin + "/Revscope.ini" : dir.File("config/Revscope/Revscope.ini");
    EXPECT_EQ(ChooseIniPath(bin, "Revscope.ini", c.installed, dir.File("config")), expected)
        << "installed " << c.installed << ", file " << c.file << ", folder there " << c.folderThere;
  }
}

TEST(IniPlace, TheTestProgramIsNotAnInstallation) {
  EXPECT_EQ(TWinApp::InstalledDataDir(), "");
}

TEST(CommandLine, HelpVersionAndSimulateAmongRecordings) {
  struct Case {
    std::vector<std::string> args;
    TCommandLine::TAction action;
    bool simulate;
  };
  const Case cases[] = {
      {{}, TCommandLine::Run, false},
      {{"a.rec", "-nosplash", "b.rec"}, TCommandLine::Run, false},
      {{"--simulate", "a.rec"}, TCommandLine::Run, true},
      {{"--help"}, TCommandLine::Help, false},
      {{"a.rec", "-h"}, TCommandLine::Help, false},
      {{"--version", "--simulate"}, TCommandLine::Version, true},
      {{"--version", "--help"}, TCommandLine::Version, false},
      {{"--help", "--version"}, TCommandLine::Help, false},
      {{"-help", "--versions", "-version"}, TCommandLine::Run, false},  // skipped like any other
  };
  for (const Case& c : cases) {
    const TCommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.Action, c.action) << testing::PrintToString(c.args);
    EXPECT_EQ(line.Simulate, c.simulate) << testing::PrintToString(c.args);
  }
}

TEST(CommandLine, HelpNamesTheSettingsFilesInUse) {
  const std::string help = ProgramHelp("/home/u/.config/Revscope/Revscope.ini", "/home/u/.config/Torvane/Settings.ini");
  EXPECT_EQ(help.rfind("Usage: revscope [OPTION]... [FILE.rec]...\n", 0), 0u);
  for (const char* text : {"--simulate", "--help", "--version", "\n  /home/u/.config/Revscope/Revscope.ini\n",
                           "\n  /home/u/.config/Torvane/Settings.ini\n", "$XDG_CONFIG_HOME/Revscope/Revscope.ini"})
    EXPECT_NE(help.find(text), std::string::npos) << text;
}

TEST(Version, OneVersionForTheBannerAndTheAboutBox) {
  char version[32] = {};
  ASSERT_TRUE(TWinApp::FileVersion(version, sizeof version));
  EXPECT_EQ(TWinApp::Version(), version);
  EXPECT_EQ(VersionBanner("revscope-cli"), "revscope-cli (Revscope) " + TWinApp::Version() +
                                               "\nCopyright (c) 2026 Torvane\n"
                                               "MIT License: free to use, copy, modify and distribute; no warranty.\n");
}

TEST(ProgramIcon, ADialWithTenTicksTheLastThreeRedAndTheNeedleAtSixOfNine) {
  const TProgramIcon icon = ProgramIconShapes(100);
  EXPECT_DOUBLE_EQ(icon.Face.X, 50);
  EXPECT_DOUBLE_EQ(icon.Face.Radius, 46);
  EXPECT_DOUBLE_EQ(icon.Face.StrokeWidth, 5);
  ASSERT_EQ(icon.Strokes.size(), 11u);
  // The lowest tick at the lower left, the highest at the lower right, the middle ones on top.
  EXPECT_LT(icon.Strokes[0].X2, 50);
  EXPECT_GT(icon.Strokes[0].Y2, 50);
  EXPECT_GT(icon.Strokes[9].X2, 50);
  EXPECT_GT(icon.Strokes[9].Y2, 50);
  EXPECT_NEAR(icon.Strokes[4].Y2, icon.Strokes[5].Y2, 1e-9);
  for (int i = 0; i < 10; ++i) {
    const TIconStroke& t = icon.Strokes[static_cast<size_t>(i)];
    EXPECT_NEAR(std::hypot(t.X1 - 50, t.Y1 - 50), 46 * 0.68, 1e-9) << i;
    EXPECT_NEAR(std::hypot(t.X2 - 50, t.Y2 - 50), 46 * 0.84, 1e-9) << i;
    const TIconColour expected = i < 7 ? TIconColour{235, 235, 235} : TIconColour{230, 40, 40};
    EXPECT_EQ(std::tie(t.Colour.R, t.Colour.G, t.Colour.B), std::tie(expected.R, expected.G, expected.B)) << i;
  }
  // The needle from the centre up and to the right, 39 degrees above the horizontal.
  const TIconStroke& needle = icon.Strokes[10];
  EXPECT_DOUBLE_EQ(needle.X1, 50);
  EXPECT_NEAR(std::atan2(50 - needle.Y2, needle.X2 - 50) * 180 / M_PI, 39, 1e-9);
  EXPECT_EQ(needle.Colour.R, 255);
  EXPECT_EQ(needle.Colour.G, 160);
  EXPECT_DOUBLE_EQ(icon.Hub.Radius, 7);
  EXPECT_DOUBLE_EQ(icon.Hub.StrokeWidth, 0);
}

TEST(ProgramIcon, TheScalableIconIsTheShapesAt256) {
  const std::string svg = ProgramIconSvg();
  EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                      "width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n",
                      0),
            0u);
  auto count = [&svg](const std::string& what) {
    size_t n = 0;
    for (size_t at = svg.find(what); at != std::string::npos; at = svg.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("<circle "), 2u);
  EXPECT_EQ(count("<line "), 11u);
  EXPECT_EQ(count("stroke=\"#e62828\""), 3u);
  EXPECT_NE(svg.find("<circle cx=\"128\" cy=\"128\" r=\"117.76\" fill=\"#141c28\" stroke=\"#282828\" "
                     "stroke-width=\"12.8\"/>\n"),
            std::string::npos);
  EXPECT_NE(svg.find("<line x1=\"128\" y1=\"128\" x2=\"199.38\" y2=\"70.2\" stroke=\"#ffa000\" stroke-width=\"15.36\" "
                     "stroke-linecap=\"round\"/>\n"),
            std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

}  // namespace
