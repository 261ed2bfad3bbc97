#include "rules/GraphPage.h"

#include "rules/GraphModel.h"

std::vector<TPaneMenuItem> GraphPaneMenu(const TPaneMenuInputs& in) {
  using C = TCommand;
  using P = TPaneCommand;
  auto command = [](C c, bool separator = false) {
    TPaneMenuItem item;
    item.Command = c;
    item.SeparatorBefore = separator;
    return item;
  };
  auto pane = [](P c, std::string caption, std::string key, bool enabled, bool separator = false) {
    TPaneMenuItem item;
    item.PaneCommand = c;
    item.Caption = std::move(caption);
    item.KeyText = std::move(key);
    item.Enabled = enabled;
    item.SeparatorBefore = separator;
    return item;
  };
  const bool sensor = !in.SensorName.empty();
  return {
      command(C::actGraphZoomIn),
      command(C::actGraphZoomOut),
      command(C::actGraphShowFullLength),
      command(C::actGraphAddSensors, true),
      command(C::actGraphRemoveSensors),
      pane(P::RemoveSensor, sensor ? "Remove " + in.SensorName : "Remove This Sensor", "", sensor),
      pane(P::SetReference, "Set Reference Cursor Here", "Shift+Click", in.HasRecording, true),
      pane(P::ClearReference, "Clear Reference Cursor", "Esc", in.HasReference),
      pane(P::CopyValues, "Copy Values", "Ctrl+C", in.HasRecording && in.HasSelection, true),
      pane(P::Colour, "Colour", "", sensor),
  };
}

const std::vector<TColourChoice>& PaneColourChoices() {
  static const std::vector<TColourChoice> choices = [] {
    static constexpr const char* names[] = {"Red", "Blue", "Purple", "Fuchsia", "Maroon", "Navy", "Olive", "Teal", "Yellow"};
    std::vector<TColourChoice> c;
    for (int i = 0; i < 9; ++i) c.push_back({names[i], GraphPaneColour(i)});
    c.push_back({"Black", 0x000000});
    return c;
  }();
  return choices;
}

std::string DefaultColourCaption(uint32_t paneDefault) {
  for (const TColourChoice& c : PaneColourChoices())
    if (c.Rgb == paneDefault) return std::string("Default (") + c.Name + ")";
  return "Default";
}

std::vector<std::string> GraphPageHint(bool hasRecording, int sensorCount) {
  std::vector<std::string> lines;
  if (sensorCount == 0) {
    lines.push_back("No sensors are on the graph.");
    lines.push_back("Ctrl+1 to Ctrl+9 add Revs, Speed, TPS, MAP, the temperatures, injection and advance;");
    lines.push_back("Graph > Add Sensors... offers every sensor.");
  }
  if (!hasRecording) {
    if (!lines.empty()) lines.push_back("");
    lines.push_back("Nothing is recorded yet.");
    lines.push_back("F9 starts a recording (connecting to the ECU first);");
    lines.push_back("File > Open... (Ctrl+O) opens a saved one.");
  }
  return lines;
}
