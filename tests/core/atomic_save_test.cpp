// Replacing a file whole or not at all, as the settings files and recordings are saved.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"
#include "base/AtomicSave.h"
#include "base/IniFile.h"

namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(AtomicSave, KeepsPermissionsAndTheSymbolicLink) {
  TTempDir dir;
  const std::string target = dir.File("real.ini"), link = dir.File("Revscope.ini");
  WriteFileBytes(target, "old");
  ::chmod(target.c_str(), 0600);
  std::filesystem::create_symlink(target, link);
  TIniFile ini;
  ini.WriteString("Settings", "FileDir", "/data");
  ASSERT_TRUE(ini.Save(link));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ModeOf(target), 0600u);
  EXPECT_EQ(ReadFileBytes(target), "[Settings]\nFileDir=/data\n");
  // Nothing but the two names is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(AtomicSave, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  TTempDir dir;
  const std::string target = dir.File("run.rec");
  WriteFileBytes(target, "old bytes");
  std::string error;
  EXPECT_FALSE(AtomicSave(target, [](const std::string& tmp) {
    WriteFileBytes(tmp, "half");
    return false;
  }, &error));
  EXPECT_EQ(error.rfind("cannot write", 0), 0u) << error;
  EXPECT_EQ(ReadFileBytes(target), "old bytes");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(AtomicSave, ANameThatFillsTheFolderLimitCanStillBeSaved) {
  TTempDir dir;
  const std::string target = dir.File(std::string(255 - 4, 'r') + ".ini");
  std::string error;
  EXPECT_TRUE(AtomicSaveText(target, "x=1\n", &error)) << error;
  EXPECT_EQ(ReadFileBytes(target), "x=1\n");
}

TEST(AtomicSave, AFolderThatCannotBeWrittenIsReported) {
  std::string error;
  EXPECT_FALSE(AtomicSaveText("/proc/revscope-no-such-folder/x.ini", "x", &error));
  EXPECT_EQ(error.rfind("cannot create a temporary file", 0), 0u) << error;
}

}  // namespace
