#pragma once
// The settings: a per-machine part (units, polling, serial line, lambda table) and the program's
// INI file (everything else, the per-variable poll rates and flags, the graph selection).
#include <string>

#include "base/Paths.h"
#include "vars/Settings.h"

class TSensorList;
class TGraphSelection;
class TIniFile;

// The per-machine values, stored in MachinePath.
class TMachineConfig : public TSettings {
 public:
  // Loads the per-machine part; a missing file leaves the defaults.
  void LoadMachine();
  // Writes every per-machine value; false with a reason when the file cannot be written.
  bool SaveMachine(std::string* errorText = nullptr) const;
  void LoadMachine(const TIniFile& store);
  void SaveMachine(TIniFile& store) const;
};

// Everything else, stored in the program's INI file.
class TConfig : public TMachineConfig {
 public:
  // iniPath: the INI file; programDir: the default for FileDir.
  TConfig(const std::string& iniPath, const std::string& programDir);

  // Per-machine part, then the INI file (with the poll rates and flags of every raw variable and
  // the graph selection).
  void Load(TSensorList* sensors, TGraphSelection* graph);
  // Per-machine part, then the INI file; false with the reasons when something was not written.
  bool Save(const TSensorList* sensors, const TGraphSelection* graph, std::string* errorText = nullptr) const;

  void LoadIni(const TIniFile& ini, TSensorList* sensors, TGraphSelection* graph);
  void SaveIni(TIniFile& ini, const TSensorList* sensors, const TGraphSelection* graph) const;
};
