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

}  // namespace
