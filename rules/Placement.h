#pragma once
// A window's position, size and state kept in the program's INI file, in a section named after
// the window: "Left", "Width", "Top", "Height" and "WindowState" (0 normal, 1 minimised,
// 2 maximised); and where the window opens on the screens there are now.
#include <optional>
#include <string>
#include <vector>

struct TPlacement {
  int Left = 0;
  int Width = 0;
  int Top = 0;
  int Height = 0;
  int WindowState = 0;

  bool operator==(const TPlacement&) const = default;
};

// What the file holds; none unless it has the window's position and size (the first start).
std::optional<TPlacement> ReadPlacement(const std::string& iniPath, const std::string& section);
// Writes the position and size only when the window is in its normal state, so a maximised or
// minimised window keeps the last normal placement on file; "WindowState" is always written.
// False with a reason when the file cannot be written.
bool WritePlacement(const std::string& iniPath, const std::string& section, const TPlacement& placement,
                    std::string* errorText = nullptr);

// The part of a screen that windows may take (without panels and docks), in pixels.
struct TScreenArea {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

// The share of the screen a window takes at its first start, in each direction.
constexpr double FirstStartShare = 0.8;

// Where a window opens. Positions are those of its client area; titleHeight is what the frame
// adds above it. A stored placement is used where the middle of its title bar lies on one of the
// screens (its size kept within that screen, and moved just enough to lie wholly on it);
// otherwise the stored size, or at the first start FirstStartShare of the primary screen, is
// centred on the primary screen. Never smaller than minWidth x minHeight, never larger than the
// screen with the title bar (but for that minimum); the window state is the stored one,
// minimised read as normal.
TPlacement StartPlacement(const std::optional<TPlacement>& stored, const std::vector<TScreenArea>& screens,
                          int primary, int minWidth, int minHeight, int titleHeight);
