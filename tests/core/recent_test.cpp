// The recent-files list kept in the INI file.
#include "TestSupport.h"
#include "base/IniFile.h"
#include "rules/RecentFileList.h"

namespace {

TEST(RecentFiles, ReopeningMovesToTheTop) {
  TTempDir dir;
  TRecentFileList list(dir.File("r.ini"));
  int menuUpdates = 0;
  list.OnUpdateMenu = [&menuUpdates] { ++menuUpdates; };
  list.Add("/a.rec");
  list.Add("/b.rec");
  list.Add("/a.rec");
  EXPECT_EQ(list.Files, (std::vector<std::string>{"/a.rec", "/b.rec"}));
  EXPECT_EQ(list.Caption(0), "&0 /a.rec");
  EXPECT_EQ(menuUpdates, 3);
}

TEST(RecentFiles, KeepsTheLastEight) {
  TTempDir dir;
  TRecentFileList list(dir.File("r.ini"));
  for (int i = 1; i <= 9; ++i) list.Add("/f" + std::to_string(i) + ".rec");
  ASSERT_EQ(list.Files.size(), 8u);
  EXPECT_EQ(list.Files.front(), "/f9.rec");
  EXPECT_EQ(list.Files.back(), "/f2.rec");
  TIniFile ini(dir.File("r.ini"));
  EXPECT_EQ(ini.Keys("Recent Files"), (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7"}));
  TRecentFileList again(dir.File("r.ini"));
  again.Load();
  EXPECT_EQ(again.Files, list.Files);
}

TEST(RecentFiles, LetterCaseCountsAsTheSameFile) {
  TTempDir dir;
  TRecentFileList list(dir.File("r.ini"));
  list.Add("/Data/Run.rec");
  list.Add("/other.rec");
  list.Add("/data/run.REC");
  EXPECT_EQ(list.Files, (std::vector<std::string>{"/data/run.REC", "/other.rec"}));
}

TEST(RecentFiles, LoadSkipsEmptyKeysAndSaveLeavesKeysBeyondTheCount) {
  TTempDir dir;
  WriteFileBytes(dir.File("r.ini"), "[Recent Files]\n0=/x.rec\n1=\n2=/y.rec\n5=/old.rec\n");
  TRecentFileList list(dir.File("r.ini"));
  list.Load();
  EXPECT_EQ(list.Files, (std::vector<std::string>{"/x.rec", "/y.rec", "/old.rec"}));
  list.Files.resize(1);
  list.Save();
  TIniFile ini(dir.File("r.ini"));
  EXPECT_EQ(ini.ReadString("Recent Files", "0", ""), "/x.rec");
  EXPECT_EQ(ini.ReadString("Recent Files", "2", ""), "/y.rec");  // beyond the count: left as it is
}

// Any file name goes in and comes back out: a line break, blanks at an end, quotes and backslashes
// can neither add lines, keys or sections to the file nor push entries out of the list.
TEST(RecentFiles, AnyFileNameReadsBackAndLeavesTheRestOfTheFileAlone) {
  TTempDir dir;
  WriteFileBytes(dir.File("r.ini"), "[Settings]\nGraphTimespan=12\n");
  const std::vector<std::string> names = {"/plain.rec", "/new\n[Settings]\nGraphTimespan=99\nline.rec", " /blank.rec ",
                                          "\"/quoted.rec\"", "'/single.rec'", "/back\\n\\slash\\.rec", "/tab\tand\x01.rec"};
  TRecentFileList list(dir.File("r.ini"));
  for (auto it = names.rbegin(); it != names.rend(); ++it) list.Add(*it);
  TRecentFileList again(dir.File("r.ini"));
  again.Load();
  EXPECT_EQ(again.Files, names);
  TIniFile ini(dir.File("r.ini"));
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Settings", "Recent Files"}));
  EXPECT_EQ(ini.Keys("Settings"), std::vector<std::string>{"GraphTimespan"});
  EXPECT_EQ(ini.ReadInteger("Settings", "GraphTimespan", 0), 12);
  EXPECT_EQ(ini.Keys("Recent Files").size(), names.size());
  // A name that needs nothing is written as it stands.
  EXPECT_NE(ReadFileBytes(dir.File("r.ini")).find("\n0=/plain.rec\n"), std::string::npos);
  // Section and key names that would not read back as themselves are refused.
  EXPECT_FALSE(ini.WriteString("A]B", "Key", "v"));
  EXPECT_FALSE(ini.WriteString("S", "k=1", "v"));
  EXPECT_FALSE(ini.WriteString("S", "k\n[X]", "v"));
  EXPECT_FALSE(ini.HasSection("S"));
}

}  // namespace
