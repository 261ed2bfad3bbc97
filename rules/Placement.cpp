#include "rules/Placement.h"

#include <algorithm>

#include "base/IniFile.h"

std::optional<TPlacement> ReadPlacement(const std::string& iniPath, const std::string& section) {
  TIniFile ini(iniPath);
  for (const char* key : {"Left", "Width", "Top", "Height"})
    if (!ini.HasKey(section, key)) return std::nullopt;
  TPlacement p;
  p.Left = static_cast<int>(ini.ReadInteger(section, "Left", 0));
  p.Width = static_cast<int>(ini.ReadInteger(section, "Width", 0));
  p.Top = static_cast<int>(ini.ReadInteger(section, "Top", 0));
  p.Height = static_cast<int>(ini.ReadInteger(section, "Height", 0));
  p.WindowState = static_cast<int>(ini.ReadInteger(section, "WindowState", 0));
  return p;
}

bool WritePlacement(const std::string& iniPath, const std::string& section, const TPlacement& p,
                    std::string* errorText) {
  TIniFile ini(iniPath);
  if (p.WindowState == 0) {
    ini.WriteInteger(section, "Left", p.Left);
    ini.WriteInteger(section, "Width", p.Width);
    ini.WriteInteger(section, "Top", p.Top);
    ini.WriteInteger(section, "Height", p.Height);
  }
  ini.WriteInteger(section, "WindowState", p.WindowState);
  return ini.Save(iniPath, errorText);
}

namespace {
bool Holds(const TScreenArea& s, long long x, long long y) {
  return x >= s.Left && x < static_cast<long long>(s.Left) + s.Width && y >= s.Top &&
         y < static_cast<long long>(s.Top) + s.Height;
}
// A length kept between the minimum and the screen's (the minimum wins on a small screen).
int Fit(int length, int minimum, int screen) { return std::max(minimum, std::min(length, screen)); }
}  // namespace

TPlacement StartPlacement(const std::optional<TPlacement>& stored, const std::vector<TScreenArea>& screens,
                          int primary, int minWidth, int minHeight, int titleHeight) {
  if (screens.empty()) return stored.value_or(TPlacement{0, minWidth, 0, minHeight, 0});
  TPlacement p;
  if (stored) {
    p = *stored;
    p.WindowState = stored->WindowState == 2 ? 2 : 0;
    const long long titleX = static_cast<long long>(p.Left) + p.Width / 2;
    const long long titleY = static_cast<long long>(p.Top) - (titleHeight + 1) / 2;
    for (const TScreenArea& s : screens)
      if (Holds(s, titleX, titleY)) {
        p.Width = Fit(p.Width, minWidth, s.Width);
        p.Height = Fit(p.Height, minHeight, s.Height - titleHeight);
        p.Left = std::max(s.Left, std::min(p.Left, s.Left + s.Width - p.Width));
        p.Top = std::max(s.Top + titleHeight, std::min(p.Top, s.Top + s.Height - p.Height));
        return p;
      }
  }
  const TScreenArea& s = screens[static_cast<size_t>(std::clamp(primary, 0, static_cast<int>(screens.size()) - 1))];
  p.Width = Fit(stored ? p.Width : static_cast<int>(s.Width * FirstStartShare), minWidth, s.Width);
  p.Height = Fit(stored ? p.Height : static_cast<int>(s.Height * FirstStartShare), minHeight, s.Height - titleHeight);
  // Centred with its frame: the title bar counts as part of the height.
  p.Left = s.Left + (s.Width - p.Width) / 2;
  p.Top = s.Top + std::max(titleHeight, (s.Height - p.Height + titleHeight) / 2);
  return p;
}
