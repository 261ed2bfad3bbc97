#pragma once
// The menu of a right-click on the chart (rules/GraphPage): the Graph menu's zoom and sensor-list
// commands, and the pane's own: remove its sensor, set or clear the reference cursor, copy the
// values at the cursors, and its colour (kept with the graph selection).
#include <QMenu>
#include <functional>

#include "rules/MainLogic.h"

class QAction;
class TGraphControl;
class TGraphSelection;

class TGraphPaneMenu : public QMenu {
  Q_OBJECT
 public:
  // pane: the pane clicked on (-1: none). action: the window's action of a Graph menu command.
  // edited: runs after the selection or a colour changed.
  TGraphPaneMenu(QWidget* parent, TGraphControl& graph, TGraphSelection& selection, int pane,
                 const std::function<QAction*(TCommand)>& action, std::function<void()> edited);
  // The Colour submenu (none without a sensor under the click).
  QMenu* ColourMenu() const { return colours_; }

 private:
  void SetColour(std::optional<uint32_t> rgb);
  TGraphSelection& selection_;
  uint32_t id_ = 0;
  std::function<void()> edited_;
  QMenu* colours_ = nullptr;
};
