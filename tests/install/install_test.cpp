// The installation as a user and the desktop's tools see it: `cmake --install` into a scratch
// prefix, the installed programs run from there, the desktop entry, MIME package, AppStream data and
// manual pages checked by their own validators, and the Debian package against the install list.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

#include "../cli/CliSupport.h"
#include "base/WinApp.h"
#include "cli/Cli.h"
#include "rules/FileAssociation.h"
#include "rules/ProgramIcon.h"

namespace {

namespace fs = std::filesystem;

// A program of the system, found on PATH; empty when it is not installed.
std::string Tool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (::access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
  return "";
}

// The files below a folder, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& root) {
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory()) files.insert(fs::relative(e.path(), root).string());
  return files;
}

std::string Joined(const std::set<std::string>& lines) {
  std::string t;
  for (const std::string& l : lines) t += l + "\n";
  return t;
}

// What every installation holds, relative to its prefix.
std::set<std::string> ExpectedFiles() {
  std::set<std::string> files = {
      "bin/revscope",
      "bin/revscope-cli",
      "share/applications/revscope.desktop",
      "share/bash-completion/completions/revscope-cli",
      "share/doc/revscope/README.md",
      "share/doc/revscope/changelog.gz",
      "share/doc/revscope/copyright",
      "share/icons/hicolor/scalable/apps/revscope.svg",
      "share/man/man1/revscope-cli.1.gz",
      "share/man/man1/revscope.1.gz",
      "share/metainfo/com.torvane.revscope.metainfo.xml",
      "share/mime/packages/revscope-recording.xml",
  };
  for (int size : AssociationIconSizes) {
    const std::string n = std::to_string(size);
    files.insert("share/icons/hicolor/" + n + "x" + n + "/apps/revscope.png");
  }
  return files;
}

// The width and height a PNG file's header gives.
std::pair<int, int> PngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto be32 = [&bytes](size_t at) {
    int v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  return {be32(16), be32(20)};
}

// The subcommands and the long options "revscope-cli --help" names.
std::set<std::string> HelpCommands() {
  std::set<std::string> commands;
  std::istringstream lines(CliUsage());
  bool inCommands = false;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Commands:") inCommands = true;
    else if (line.empty() || line[0] != ' ') inCommands = false;
    else if (inCommands && line.size() > 2 && line[2] != ' ') commands.insert(line.substr(2, line.find(' ', 2) - 2));
  }
  return commands;
}
std::set<std::string> HelpOptions() {
  std::set<std::string> options;
  const std::string usage = CliUsage();
  for (size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
    size_t end = at + 2;
    while (end < usage.size() && (std::islower(static_cast<unsigned char>(usage[end])) || usage[end] == '-')) ++end;
    if (end > at + 2) options.insert(usage.substr(at, end - at));
  }
  options.erase("--name");  // "--name VALUE": the form, not an option
  return options;
}

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "revscope-install-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    const TCliResult r = RunProgram(CMAKE_COMMAND, {"--install", REVSCOPE_BUILD_DIR, "--prefix", Prefix()}, {}, {}, 300);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Prefix() const { return dir_ + "/prefix"; }
  std::string File(const std::string& relative) const { return Prefix() + "/" + relative; }
  // The user's folders, apart from the installation.
  std::map<std::string, std::string> UserEnv() const {
    return {{"HOME", dir_ + "/home"},
            {"XDG_CONFIG_HOME", dir_ + "/home/config"},
            {"XDG_DATA_HOME", dir_ + "/home/data"},
            {"XDG_STATE_HOME", dir_ + "/home/state"},
            {"QT_QPA_PLATFORM", "offscreen"},
            {"LC_ALL", "C"}};
  }
  TCliResult Run(const std::string& program, const std::vector<std::string>& args) const {
    return RunProgram(program, args, UserEnv(), dir_, 120);
  }
  // A validator of the system, run on a file; its complaints are on the result's out and err.
  TCliResult Validate(const std::string& tool, std::vector<std::string> args) const {
    const std::string path = Tool(tool);
    if (path.empty()) return {-1, "", tool + " is not installed (./build.sh test installs it)"};
    return Run(path, std::move(args));
  }

  std::string dir_;
};

TEST_F(Installed, ProgramsAnswerVersionAndHelpFromThePrefix) {
  TCliResult cli = Run(File("bin/revscope-cli"), {"--version"});
  EXPECT_EQ(cli.exitCode, 0) << cli.err;
  EXPECT_EQ(cli.out, VersionBanner("revscope-cli"));
  EXPECT_EQ(cli.out.rfind("revscope-cli (Revscope) " REVSCOPE_VERSION "\n", 0), 0u) << cli.out;
  TCliResult gui = Run(File("bin/revscope"), {"--version"});
  EXPECT_EQ(gui.exitCode, 0) << gui.err;
  EXPECT_EQ(gui.out.rfind("revscope (Revscope) " REVSCOPE_VERSION "\n", 0), 0u) << gui.out;
  // An installed program names the settings in the user's folder.
  TCliResult help = Run(File("bin/revscope"), {"--help"});
  EXPECT_EQ(help.exitCode, 0) << help.err;
  EXPECT_NE(help.out.find("  " + dir_ + "/home/config/Revscope/Revscope.ini\n"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("  " + dir_ + "/home/config/Torvane/Settings.ini\n"), std::string::npos) << help.out;
}

TEST_F(Installed, CliReadsTheUserSettingsAndWritesNothingBesideItself) {
  WriteText(dir_ + "/home/config/Revscope/Revscope.ini", "[Rates]\nVar1=7\n");
  TCliResult r = Run(File("bin/revscope-cli"), {"vars"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out).size(), 39u + 48u);
  EXPECT_EQ(SplitLines(r.out).at(0), "raw\t1\tRevs\t10\t7\t2\t1\t1");
  EXPECT_FALSE(fs::exists(File("bin/Revscope.ini")));
  // A writable file beside the installed program is its own.
  WriteText(File("bin/Revscope.ini"), "[Rates]\nVar1=9\n");
  r = Run(File("bin/revscope-cli"), {"vars"});
  EXPECT_EQ(SplitLines(r.out).at(0), "raw\t1\tRevs\t10\t9\t2\t1\t1");
}

TEST_F(Installed, EveryFileIsInPlaceAndTheDesktopFilesAreTheAssociations) {
  EXPECT_EQ(Joined(FilesBelow(Prefix())), Joined(ExpectedFiles()));
  // The same files the program's association writes, starting the program found on PATH.
  const TFileAssociation association({Prefix() + "/share", "", "revscope"});
  EXPECT_EQ(ReadText(association.DesktopEntryPath()), association.DesktopEntryText(""));
  EXPECT_NE(ReadText(association.DesktopEntryPath()).find("\nExec=revscope %f\n"), std::string::npos);
  EXPECT_EQ(ReadText(association.MimePackagePath()), association.MimePackageText());
  EXPECT_EQ(ReadText(association.ScalableIconPath()), ProgramIconSvg());
  for (int size : AssociationIconSizes)
    EXPECT_EQ(PngSize(ReadText(association.IconPath(size))), std::make_pair(size, size)) << size;
  // The version is the project's everywhere.
  EXPECT_NE(ReadText(File("share/metainfo/com.torvane.revscope.metainfo.xml")).find("version=\"" REVSCOPE_VERSION "\""),
            std::string::npos);
  EXPECT_NE(ReadText(File("share/doc/revscope/copyright")).find("Copyright: 2026 Torvane\nLicense: MIT\n"),
            std::string::npos);
}

TEST_F(Installed, DesktopEntryMimePackageAndAppStreamDataPassTheirValidators) {
  TCliResult desktop = Validate("desktop-file-validate", {File("share/applications/revscope.desktop")});
  EXPECT_EQ(desktop.exitCode, 0) << desktop.out << desktop.err;
  EXPECT_EQ(desktop.out + desktop.err, "");
  TCliResult appstream =
      Validate("appstreamcli", {"validate", "--no-net", File("share/metainfo/com.torvane.revscope.metainfo.xml")});
  EXPECT_EQ(appstream.exitCode, 0) << appstream.out << appstream.err;
  // The MIME database built from the package alone knows recordings by their name.
  const std::string mimeDir = UserEnv().at("XDG_DATA_HOME") + "/mime";
  fs::create_directories(mimeDir + "/packages");
  fs::copy_file(File("share/mime/packages/revscope-recording.xml"), mimeDir + "/packages/revscope-recording.xml");
  TCliResult mime = Validate("update-mime-database", {mimeDir});
  EXPECT_EQ(mime.exitCode, 0) << mime.err;
  EXPECT_EQ(mime.err, "");
  EXPECT_NE(ReadText(mimeDir + "/globs2").find(":application/x-revscope-recording:*.rec\n"), std::string::npos);
}

TEST_F(Installed, ManualPagesRenderWithoutWarnings) {
  const std::string man = Tool("man");
  ASSERT_FALSE(man.empty()) << "man is not installed (./build.sh test installs man-db)";
  for (const char* page : {"share/man/man1/revscope.1.gz", "share/man/man1/revscope-cli.1.gz"})
    for (const char* width : {"60", "80"}) {
      std::map<std::string, std::string> env = UserEnv();
      env["MANWIDTH"] = width;
      TCliResult r = RunProgram(man, {"--warnings", "-l", File(page)}, env, dir_, 120);
      EXPECT_EQ(r.exitCode, 0) << page << r.err;
      EXPECT_EQ(r.err, "") << page << " at " << width << " columns";
      EXPECT_NE(r.out.find("Revscope " REVSCOPE_VERSION), std::string::npos) << page;
    }
}

TEST_F(Installed, ManualPageAndCompletionCoverEveryCommandAndOption) {
  ASSERT_GE(HelpCommands().size(), 6u);
  const std::string source = ReadText(std::string(REVSCOPE_SOURCE_DIR) + "/dist/revscope-cli.1.in");
  TCliResult page = Validate("man", {"-l", File("share/man/man1/revscope-cli.1.gz")});
  const std::string completion = File("share/bash-completion/completions/revscope-cli");
  // What the completion offers after "revscope-cli ".
  TCliResult offered = Run("/bin/bash", {"-c", "source '" + completion + "'; COMP_WORDS=(revscope-cli ''); COMP_CWORD=1; "
                                         "_revscope_cli; printf '%s\\n' \"${COMPREPLY[@]}\""});
  for (const std::string& command : HelpCommands()) {
    EXPECT_NE(source.find("\n.SS " + command), std::string::npos) << "revscope-cli(1) has no section for " << command;
    EXPECT_NE(offered.out.find(command + "\n"), std::string::npos) << "the completion does not offer " << command;
  }
  const std::string completionText = ReadText(completion);
  for (const std::string& option : HelpOptions()) {
    EXPECT_NE(page.out.find(option), std::string::npos) << "revscope-cli(1) does not explain " << option;
    EXPECT_NE(completionText.find(option), std::string::npos) << "the completion does not know " << option;
  }
  // The completion offers a command's options and the values they take.
  offered = Run("/bin/bash", {"-c", "source '" + completion + "'; COMP_WORDS=(revscope-cli log --preset m); COMP_CWORD=3; "
                              "_revscope_cli; printf '%s\\n' \"${COMPREPLY[@]}\""});
  EXPECT_EQ(offered.out, "mixture\n");
  offered = Run("/bin/bash", {"-c", "source '" + completion + "'; COMP_WORDS=(revscope-cli recover --); COMP_CWORD=2; "
                              "_revscope_cli; printf '%s\\n' \"${COMPREPLY[@]}\""});
  EXPECT_EQ(offered.out, "--out\n--list\n--help\n");
}

// The Debian package holds exactly what `cmake --install` installs, under /usr.
TEST_F(Installed, DebianPackageMatchesTheInstallAndPassesLintian) {
  const std::string out = dir_ + "/package";
  TCliResult cpack = RunProgram(CPACK_COMMAND, {"-G", "DEB", "--config", REVSCOPE_BUILD_DIR "/CPackConfig.cmake", "-B", out},
                                {}, REVSCOPE_BUILD_DIR, 600);
  ASSERT_EQ(cpack.exitCode, 0) << cpack.out << cpack.err;
  std::string deb;
  for (const auto& e : fs::directory_iterator(out))
    if (e.path().extension() == ".deb") deb = e.path().string();
  ASSERT_FALSE(deb.empty()) << cpack.out;
  EXPECT_EQ(fs::path(deb).filename().string().rfind("revscope_" REVSCOPE_VERSION "_", 0), 0u) << deb;

  TCliResult contents = Validate("dpkg-deb", {"--contents", deb});
  ASSERT_EQ(contents.exitCode, 0) << contents.err;
  std::set<std::string> packaged;
  for (const std::string& line : SplitLines(contents.out)) {
    const size_t at = line.find(" ./usr/");
    if (line[0] != 'd' && at != std::string::npos) packaged.insert(line.substr(at + 7));
  }
  EXPECT_EQ(Joined(packaged), Joined(FilesBelow(Prefix())));

  TCliResult fields = Validate("dpkg-deb", {"--field", deb, "Package", "Version", "Depends"});
  EXPECT_NE(fields.out.find("Package: revscope\nVersion: " REVSCOPE_VERSION "\n"), std::string::npos) << fields.out;
  // The dependencies come from the binaries.
  for (const char* library : {"libc6", "libstdc++6", "libqt6widgets6", "libqt6multimedia6"})
    EXPECT_NE(fields.out.find(library), std::string::npos) << library << " in " << fields.out;

  TCliResult lintian = Validate("lintian", {"--fail-on", "error", deb});
  EXPECT_EQ(lintian.exitCode, 0) << lintian.out << lintian.err;
  EXPECT_EQ(("\n" + lintian.out).find("\nE: "), std::string::npos) << lintian.out;
}

}  // namespace
