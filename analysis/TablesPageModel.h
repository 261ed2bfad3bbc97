#pragma once
// The Tables page without its controls: the choices (kept in the settings as they change), the
// table that follows the source the link's state gives, the colour scale and names the widgets
// draw with, and where a click on a cell sends the cursor.
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/ColourScale.h"
#include "analysis/TableSpec.h"
#include "analysis/TableTracker.h"
#include "rules/TableLayout.h"

struct TSettings;

enum class TTableAxis : uint8_t { X, Y, Z };

// What the table follows: while connected without recording, the latest values; otherwise the
// current recording (also the one being recorded); nothing without one.
TTableSource ChooseTableSource(bool connected, bool recording, bool hasRecording);

class TTablesPageModel {
 public:
  TTablesPageModel(TSettings& settings, const TSensorList& sensors);

  const TTableChoices& Choices() const { return choices_; }
  TTableTracker& Tracker() { return tracker_; }
  const TTableTracker& Tracker() const { return tracker_; }

  // The choices. Each one taken is stored in the settings and starts the table over; a text that
  // does not parse changes nothing and gives the reason.
  // A new sensor on X or Y takes its default edges.
  void SetSensor(TTableAxis axis, uint32_t id);
  bool SetEdges(TTableAxis axis, const std::string& text, std::string* error);
  bool SetFilters(const std::string& text, std::string* error);
  void SetStat(TTableStat stat);
  void SetMinCount(uint32_t count);
  void SetMaxAge(uint32_t ms);
  // The colour scale's target and reach; empty for the defaults of Z.
  bool SetTarget(const std::string& text, std::string* error);
  bool SetSpan(const std::string& text, std::string* error);

  // What the controls show.
  uint32_t Sensor(TTableAxis axis) const;
  std::string EdgesText(TTableAxis axis) const;
  std::string FiltersText() const;
  std::string TargetText() const;  // the user's, or the default's value
  std::string SpanText() const;
  TColourScale Scale() const;
  TTableNames Names() const;

  // The settings changed under the page (units, the lambda table, the MAP sensor): the choices
  // are read again and the table starts over.
  void Reload();
  // Follows the source ChooseTableSource gives; the recording is the current one.
  void Follow(TTableSource source, const THistorySet* recording, const TSampleFeed* feed = nullptr);

  // A click on a cell: the time (seconds) of the first sample of the cell's next stretch, the
  // first one again after the last; none for a cell without samples or without a recording.
  std::optional<double> Click(int cell);

 private:
  void Changed();

  TSettings& settings_;
  const TSensorList& sensors_;
  TTableChoices choices_;
  TTableTracker tracker_;
  int clickedCell_ = -1;
  std::optional<TTicks> clickedAt_;
};
