#include "vars/GraphSelection.h"

#include <cstdio>
#include <strings.h>

#include "base/IniFile.h"

namespace {
constexpr const char* kColourKey = "Colour";
}

const std::vector<uint32_t>& TGraphSelection::FirstStartIds() {
  static const std::vector<uint32_t> ids = {1008, 1126, 1002, 1007, 1000, 1003};
  return ids;
}

std::optional<uint32_t> TGraphSelection::Colour(uint32_t id) const {
  const auto it = colours_.find(id);
  if (it == colours_.end()) return std::nullopt;
  return it->second;
}

void TGraphSelection::Load(const TIniFile& ini, const std::string& section) {
  if (!ini.HasKey(section, "Count")) {
    for (uint32_t id : FirstStartIds())
      if (Vars.FindById(id)) AddId(id);
    return;
  }
  LoadFromIni(ini, section);
  const size_t prefix = std::char_traits<char>::length(kColourKey);
  for (const std::string& key : ini.Keys(section)) {
    long long id = 0;
    if (key.size() <= prefix || strncasecmp(key.c_str(), kColourKey, prefix) != 0) continue;
    if (!ParseInteger(key.substr(prefix), id) || id < 0 || id > 0xFFFFFFFFLL) continue;
    if (const auto rgb = ParseColourText(ini.ReadString(section, key, ""))) SetColour(static_cast<uint32_t>(id), *rgb);
  }
}

void TGraphSelection::Save(TIniFile& ini, const std::string& section) const {
  const size_t prefix = std::char_traits<char>::length(kColourKey);
  for (const std::string& key : ini.Keys(section))
    if (key.size() > prefix && strncasecmp(key.c_str(), kColourKey, prefix) == 0) ini.DeleteKey(section, key);
  SaveToIni(ini, section);
  for (const auto& [id, rgb] : colours_) ini.WriteString(section, kColourKey + std::to_string(id), ColourText(rgb));
}

std::string ColourText(uint32_t rgb) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", rgb & 0xFFFFFF);
  return buf;
}

std::optional<uint32_t> ParseColourText(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  uint32_t rgb = 0;
  for (size_t i = 1; i < 7; ++i) {
    const char c = text[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) return std::nullopt;
    rgb = rgb << 4 | static_cast<uint32_t>(digit);
  }
  return rgb;
}
