#pragma once
// The most recently opened or saved recordings, newest first, kept in the INI file.
#include <functional>
#include <string>
#include <vector>

class TRecentFileList {
 public:
  explicit TRecentFileList(std::string iniPath, int maxCount = 8) : IniPath(std::move(iniPath)), MaxCount(maxCount) {}

  std::string IniPath;
  int MaxCount;
  std::vector<std::string> Files;
  // Rebuilds the menu that shows the entries; set by the main window.
  std::function<void()> OnUpdateMenu;

  void Load();
  void Add(const std::string& path);
  void Save() const;
  void UpdateMenu() const {
    if (OnUpdateMenu) OnUpdateMenu();
  }
  // The menu caption of entry k: "&k path".
  std::string Caption(int k) const { return "&" + std::to_string(k) + " " + Files[static_cast<size_t>(k)]; }
};
