#pragma once
// The Graphs page's texts and menus without Qt: the menu a right-click on a pane opens, the
// colours it offers, and what the page says while it has nothing to draw.
#include <cstdint>
#include <string>
#include <vector>

#include "rules/MainLogic.h"

// The pane menu's own commands; the zoom and sensor-list items are the Graph menu's commands.
enum class TPaneCommand : uint8_t { None, RemoveSensor, SetReference, ClearReference, CopyValues, Colour };

// A Graph menu command keeps its own caption, shortcut and enabling (UpdateActionStates).
struct TPaneMenuItem {
  TCommand Command = TCommand::Count;  // a Graph menu command, or Count for a pane command
  TPaneCommand PaneCommand = TPaneCommand::None;
  std::string Caption;  // pane commands
  std::string KeyText;  // the key or click shown beside the caption
  bool Enabled = true;  // pane commands
  bool SeparatorBefore = false;
};

struct TPaneMenuInputs {
  bool HasRecording = false;
  bool HasSelection = false;  // any sensor on the graph
  std::string SensorName;     // the pane's sensor; empty when the click was on no pane's sensor
  bool HasReference = false;
};

// Zoom In, Zoom Out, Show Full Length; Add Sensors..., Remove Sensors..., "Remove <sensor>";
// "Set Reference Cursor Here", "Clear Reference Cursor"; "Copy Values"; "Colour".
std::vector<TPaneMenuItem> GraphPaneMenu(const TPaneMenuInputs& in);

struct TColourChoice {
  const char* Name;
  uint32_t Rgb;
};
// The colours the Colour submenu offers: the nine pane colours and black.
const std::vector<TColourChoice>& PaneColourChoices();
constexpr const char* OtherColourCaption = "Other Colour...";
// "Default (<name>)" for the colour the pane takes unless one is chosen.
std::string DefaultColourCaption(uint32_t paneDefault);

// What the page shows in place of the chart while it has nothing to draw, line by line: how to
// graph sensors (no sensor chosen) and how to record or open a recording (no recording); empty
// when there is something to draw.
std::vector<std::string> GraphPageHint(bool hasRecording, int sensorCount);
