// File association on a freedesktop system, in a scratch XDG data and config folder.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "TestSupport.h"
#include "rules/FileAssociation.h"
#include "rules/ProgramIcon.h"
#include "base/IniFile.h"

namespace {

namespace fs = std::filesystem;

class Association : public ::testing::Test {
 protected:
  void SetUp() override {
    places_.DataHome = dir_.File("data");
    places_.ConfigHome = dir_.File("config");
    places_.Executable = "/opt/revscope/bin/revscope";
  }
  std::unique_ptr<TFileAssociation> Make(const std::string& exe = "/opt/revscope/bin/revscope") {
    TAssociationPlaces p = places_;
    p.Executable = exe;
    auto a = std::make_unique<TFileAssociation>(p);
    a->Icons = {{16, "png16"}, {48, "png48"}};
    a->RunTool = [this](const std::vector<std::string>& argv) { tools_.push_back(argv); };
    return a;
  }
  bool Exists(const std::string& path) const { return fs::exists(path); }

  TTempDir dir_;
  TAssociationPlaces places_;
  std::vector<std::vector<std::string>> tools_;
};

TEST_F(Association, NothingRegisteredReadsAsNotAssociated) {
  EXPECT_FALSE(Make()->IsAssociated());
  fs::create_directories(dir_.File("config"));
  WriteFileBytes(dir_.File("config/mimeapps.list"), "[Default Applications]\napplication/x-revscope-recording=revscope.desktop\n");
  EXPECT_FALSE(Make()->IsAssociated());
}

TEST_F(Association, AssociateWritesEveryPartAndUnassociateRemovesThem) {
  auto a = Make();
  a->Associate();
  EXPECT_TRUE(a->IsAssociated());
  EXPECT_EQ(ReadFileBytes(a->MimePackagePath()), a->MimePackageText());
  const std::string xml = a->MimePackageText();
  EXPECT_NE(xml.find("<mime-type type=\"application/x-revscope-recording\">"), std::string::npos);
  EXPECT_NE(xml.find("<glob pattern=\"*.rec\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<comment>Revscope Recording</comment>"), std::string::npos);
  TIniFile entry(a->DesktopEntryPath());
  EXPECT_EQ(entry.ReadString("Desktop Entry", "Exec", ""), "\"/opt/revscope/bin/revscope\" %f");
  EXPECT_EQ(entry.ReadString("Desktop Entry", "Icon", ""), "revscope");
  EXPECT_EQ(entry.ReadString("Desktop Entry", "MimeType", ""), "application/x-revscope-recording;");
  EXPECT_FALSE(entry.HasKey("Desktop Entry", PreviousDefaultKey));
  EXPECT_EQ(ReadFileBytes(a->IconPath(48)), "png48");
  EXPECT_EQ(a->IconPath(48), dir_.File("data/icons/hicolor/48x48/apps/revscope.png"));
  EXPECT_EQ(TIniFile(a->MimeAppsPath()).ReadString("Default Applications", RecordingMimeType, ""), "revscope.desktop");
  // Both databases are brought up to date.
  ASSERT_EQ(tools_.size(), 2u);
  EXPECT_EQ(tools_[0], (std::vector<std::string>{"update-mime-database", dir_.File("data/mime")}));
  EXPECT_EQ(tools_[1], (std::vector<std::string>{"update-desktop-database", dir_.File("data/applications")}));

  a->Unassociate();
  EXPECT_FALSE(a->IsAssociated());
  for (const std::string& p : {a->MimePackagePath(), a->DesktopEntryPath(), a->IconPath(16), a->IconPath(48), a->MimeAppsPath()})
    EXPECT_FALSE(Exists(p)) << p;
  EXPECT_EQ(tools_.size(), 4u);
}

TEST_F(Association, MovingTheProgramBreaksTheAssociationUntilItIsMadeAgain) {
  Make()->Associate();
  auto moved = Make("/home/me/revscope/revscope");
  EXPECT_FALSE(moved->IsAssociated());
  moved->Associate();
  EXPECT_TRUE(moved->IsAssociated());
  EXPECT_FALSE(Make()->IsAssociated());
}

TEST_F(Association, AnotherDefaultIsTakenOverAndGivenBack) {
  fs::create_directories(dir_.File("config"));
  const std::string before =
      "[Default Applications]\ntext/plain=editor.desktop\napplication/x-revscope-recording=other.desktop;\n\n"
      "[Added Associations]\nimage/png=viewer.desktop;\n";
  WriteFileBytes(dir_.File("config/mimeapps.list"), before);
  auto a = Make();
  EXPECT_FALSE(a->IsAssociated());
  a->Associate();
  EXPECT_TRUE(a->IsAssociated());
  // Associating again (say after an update) keeps what was there first.
  a->Associate();
  EXPECT_EQ(TIniFile(a->DesktopEntryPath()).ReadString("Desktop Entry", PreviousDefaultKey, ""), "other.desktop;");
  a->Unassociate();
  EXPECT_EQ(ReadFileBytes(a->MimeAppsPath()), before);
  // The user pointed the type elsewhere meanwhile: removing leaves that choice alone.
  a->Associate();
  TIniFile apps(a->MimeAppsPath());
  apps.WriteString("Default Applications", RecordingMimeType, "mine.desktop");
  ASSERT_TRUE(apps.Save(a->MimeAppsPath()));
  EXPECT_FALSE(a->IsAssociated());
  a->Unassociate();
  EXPECT_EQ(TIniFile(a->MimeAppsPath()).ReadString("Default Applications", RecordingMimeType, ""), "mine.desktop");
  EXPECT_EQ(TIniFile(a->MimeAppsPath()).ReadString("Default Applications", "text/plain", ""), "editor.desktop");
}

TEST_F(Association, AHostileDefaultAddsNoLinesToTheEntry) {
  fs::create_directories(dir_.File("config"));
  WriteFileBytes(dir_.File("config/mimeapps.list"),
                 "[Default Applications]\napplication/x-revscope-recording=\"x.desktop\\nExec=evil %f\"\n");
  auto a = Make();
  a->Associate();
  EXPECT_TRUE(a->IsAssociated());
  EXPECT_EQ(ReadFileBytes(a->DesktopEntryPath()).find("evil"), std::string::npos);
}

TEST_F(Association, AChangedPartReadsAsNotAssociated) {
  auto a = Make();
  a->Associate();
  WriteFileBytes(a->MimePackagePath(), "<mime-info/>\n");
  EXPECT_FALSE(a->IsAssociated());
  a->Associate();
  TIniFile entry(a->DesktopEntryPath());
  entry.WriteString("Desktop Entry", "MimeType", "text/plain;");
  ASSERT_TRUE(entry.Save(a->DesktopEntryPath()));
  EXPECT_FALSE(a->IsAssociated());
}

TEST_F(Association, ExecQuotesAndEscapesTheProgramPath) {
  struct Case {
    const char* exe;
    const char* exec;
  };
  const Case cases[] = {
      {"/usr/bin/revscope", "\"/usr/bin/revscope\" %f"},
      {"/home/me/My Apps/revscope", "\"/home/me/My Apps/revscope\" %f"},
      {"/opt/100%/rev$cope", "\"/opt/100%%/rev\\\\$cope\" %f"},
      {"/opt/a\"b`c\\d", "\"/opt/a\\\\\"b\\\\`c\\\\\\\\d\" %f"},
      {"revscope", "revscope %f"},  // a program found on PATH, as an installation names it
      {"rev scope", "\"rev scope\" %f"},
  };
  for (const Case& c : cases) EXPECT_EQ(Make(c.exe)->ExecLine(), c.exec) << c.exe;
}

TEST_F(Association, TheFilesAloneAsAnInstallationCarriesThem) {
  auto a = Make("revscope");
  EXPECT_TRUE(a->WriteFiles());
  EXPECT_EQ(ReadFileBytes(a->MimePackagePath()), a->MimePackageText());
  EXPECT_EQ(ReadFileBytes(a->DesktopEntryPath()), a->DesktopEntryText(""));
  EXPECT_EQ(ReadFileBytes(a->IconPath(16)), "png16");
  EXPECT_EQ(ReadFileBytes(a->ScalableIconPath()), ProgramIconSvg());
  EXPECT_EQ(a->ScalableIconPath(), dir_.File("data/icons/hicolor/scalable/apps/revscope.svg"));
  // Neither the user's default application nor the databases are touched.
  EXPECT_FALSE(Exists(a->MimeAppsPath()));
  EXPECT_TRUE(tools_.empty());
  // Unassociating takes the scalable icon too.
  a->Unassociate();
  EXPECT_FALSE(Exists(a->ScalableIconPath()));
  EXPECT_FALSE(Exists(a->DesktopEntryPath()));
  WriteFileBytes(dir_.File("blocked"), "");
  TFileAssociation blocked({dir_.File("blocked"), "", "revscope"});
  EXPECT_FALSE(blocked.WriteFiles());
}

TEST_F(Association, AnInstalledProgramsBoxShowsTheInstallationsAssociation) {
  EXPECT_EQ(SystemDesktopEntry(""), "");
  EXPECT_EQ(SystemDesktopEntry(dir_.File("usr/share")), "");  // installed without the desktop's files
  fs::create_directories(dir_.File("usr/share/applications"));
  WriteFileBytes(dir_.File("usr/share/applications/revscope.desktop"), "");
  EXPECT_EQ(SystemDesktopEntry(dir_.File("usr/share")), dir_.File("usr/share/applications/revscope.desktop"));

  auto a = Make();
  struct Case {
    const TFileAssociation* association;
    std::string installedEntry;
    bool userAssociated;
    TAssociationBox box;
  };
  const Case cases[] = {
      {nullptr, "", false, {false, false, ""}},
      {a.get(), "", false, {false, true, ""}},
      {a.get(), "", true, {true, true, ""}},
      {a.get(), "/usr/share/applications/revscope.desktop", false,
       {true, false, "Provided by the installation, for every user, through /usr/share/applications/revscope.desktop."}},
  };
  for (const Case& c : cases) {
    if (c.userAssociated) a->Associate();
    a->InstalledEntry = c.installedEntry;
    const TAssociationBox box = AssociationBoxFor(c.association);
    EXPECT_EQ(box.Checked, c.box.Checked) << c.installedEntry;
    EXPECT_EQ(box.Enabled, c.box.Enabled) << c.installedEntry;
    EXPECT_EQ(box.Note, c.box.Note);
  }
}

TEST_F(Association, FoldersThatCannotBeWrittenLeaveItUnassociated) {
  // A file where the data folder should be: nothing can go below it, whoever runs the test.
  WriteFileBytes(dir_.File("data"), "not a folder");
  auto a = Make();
  a->Associate();
  EXPECT_FALSE(a->IsAssociated());
  // What could be written is removed again.
  a->Unassociate();
  EXPECT_FALSE(Exists(a->MimeAppsPath()));
  EXPECT_EQ(ReadFileBytes(dir_.File("data")), "not a folder");
}

// With the real update tools and xdg-mime, where they are installed.
TEST_F(Association, XdgMimeAgrees) {
  if (std::system("command -v xdg-mime >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdg-mime is not installed";
  const char* names[] = {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CURRENT_DESKTOP", "DE"};
  std::vector<std::pair<std::string, std::unique_ptr<std::string>>> saved;
  for (const char* n : names) {
    const char* v = std::getenv(n);
    saved.emplace_back(n, v ? std::make_unique<std::string>(v) : nullptr);
  }
  ::setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
  ::unsetenv("XDG_CURRENT_DESKTOP");
  ::unsetenv("DE");
  auto query = [] {
    std::string out;
    if (FILE* p = ::popen("xdg-mime query default application/x-revscope-recording 2>/dev/null", "r")) {
      char buf[256];
      while (std::fgets(buf, sizeof buf, p)) out += buf;
      ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  };
  TFileAssociation a(UserAssociationPlaces("/opt/revscope/bin/revscope"));
  EXPECT_EQ(a.Places().DataHome, dir_.File("data"));
  EXPECT_EQ(a.Places().ConfigHome, dir_.File("config"));
  a.Associate();
  EXPECT_TRUE(a.IsAssociated());
  EXPECT_EQ(query(), "revscope.desktop");
  if (std::system("command -v update-mime-database >/dev/null 2>&1") == 0) {
    // The database now knows the type by its glob.
    const std::string globs = ReadFileBytes(dir_.File("data/mime/globs2"));
    EXPECT_NE(globs.find("application/x-revscope-recording:*.rec"), std::string::npos) << globs;
  }
  a.Unassociate();
  EXPECT_FALSE(a.IsAssociated());
  EXPECT_EQ(query(), "");
  if (std::system("command -v update-mime-database >/dev/null 2>&1") == 0) {
    EXPECT_EQ(ReadFileBytes(dir_.File("data/mime/globs2")).find("revscope"), std::string::npos);
  }
  for (auto& [name, value] : saved) {
    if (value)
      ::setenv(name.c_str(), value->c_str(), 1);
    else
      ::unsetenv(name.c_str());
  }
}

}  // namespace
