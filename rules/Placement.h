#pragma once
// A window's position, size and state kept in the program's INI file, in a section named after
// the window: "Left", "Width", "Top", "Height" and "WindowState" (0 normal, 1 minimised,
// 2 maximised).
#include <string>

struct TPlacement {
  int Left = 0;
  int Width = 0;
  int Top = 0;
  int Height = 0;
  int WindowState = 0;

  bool operator==(const TPlacement&) const = default;
};

// What the file holds; each missing key keeps the value of current.
TPlacement ReadPlacement(const std::string& iniPath, const std::string& section, const TPlacement& current);
// Writes the position and size only when the window is in its normal state, so a maximised or
// minimised window keeps the last normal placement on file; "WindowState" is always written.
// False with a reason when the file cannot be written.
bool WritePlacement(const std::string& iniPath, const std::string& section, const TPlacement& placement,
                    std::string* errorText = nullptr);
