#include "rules/Placement.h"

#include "base/IniFile.h"

TPlacement ReadPlacement(const std::string& iniPath, const std::string& section, const TPlacement& current) {
  TIniFile ini(iniPath);
  TPlacement p = current;
  p.Left = static_cast<int>(ini.ReadInteger(section, "Left", current.Left));
  p.Width = static_cast<int>(ini.ReadInteger(section, "Width", current.Width));
  p.Top = static_cast<int>(ini.ReadInteger(section, "Top", current.Top));
  p.Height = static_cast<int>(ini.ReadInteger(section, "Height", current.Height));
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
