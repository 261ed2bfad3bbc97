#pragma once
// The sensors on the graph, in pane order, with the colours the user gave some of them. Kept in
// the program's INI file: "Count" and "Var0".."VarN-1" as every selection, and "Colour<id>" =
// "#RRGGBB" for a sensor whose colour was chosen (the others take their pane's colour).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "vars/SensorList.h"

class TIniFile;

class TGraphSelection : public TVarRefList {
 public:
  using TVarRefList::TVarRefList;

  // What a first start graphs: Revs, Speed, TPS, MAP, O2 Sensor A, Water Temp.
  static const std::vector<uint32_t>& FirstStartIds();

  // The colour chosen for a sensor (0xRRGGBB), if any.
  std::optional<uint32_t> Colour(uint32_t id) const;
  void SetColour(uint32_t id, uint32_t rgb) { colours_[id] = rgb & 0xFFFFFF; }
  // Back to its pane's colour.
  void ClearColour(uint32_t id) { colours_.erase(id); }

  // The entries and colours of a section, appended to what is held. A section without "Count"
  // (nothing stored yet) gives the first-start sensors.
  void Load(const TIniFile& ini, const std::string& section);
  // Replaces the section's entries and colours.
  void Save(TIniFile& ini, const std::string& section) const;

 private:
  std::map<uint32_t, uint32_t> colours_;
};

// "#RRGGBB" of 0xRRGGBB, and back (nothing for any other text).
std::string ColourText(uint32_t rgb);
std::optional<uint32_t> ParseColourText(const std::string& text);
