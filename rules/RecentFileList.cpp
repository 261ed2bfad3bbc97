#include "rules/RecentFileList.h"

#include <algorithm>
#include <strings.h>

#include "base/IniFile.h"

void TRecentFileList::Load() {
  TIniFile ini;
  ini.Load(IniPath);
  Files.clear();
  for (int k = 0; k < MaxCount; ++k) {
    std::string path = ini.ReadString("Recent Files", std::to_string(k), "");
    if (!path.empty()) Files.push_back(path);
  }
  UpdateMenu();
}

void TRecentFileList::Add(const std::string& path) {
  for (auto it = Files.begin(); it != Files.end(); ++it)
    if (strcasecmp(it->c_str(), path.c_str()) == 0) {
      Files.erase(it);
      break;
    }
  Files.insert(Files.begin(), path);
  if (static_cast<int>(Files.size()) > MaxCount) Files.resize(static_cast<size_t>(MaxCount));
  Save();
  UpdateMenu();
}

void TRecentFileList::Save() const {
  TIniFile ini;
  ini.Load(IniPath);
  int n = std::min(MaxCount, static_cast<int>(Files.size()));
  for (int k = 0; k < n; ++k) ini.WriteString("Recent Files", std::to_string(k), Files[static_cast<size_t>(k)]);
  ini.Save(IniPath);
}
