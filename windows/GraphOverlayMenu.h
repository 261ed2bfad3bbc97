#pragma once
// The Graph menu's commands that lay runs over each other (rules/OverlayCommands): "Overlay
// Laps", the "Lap Axis" submenu, "Compare With...", "Align Reference at Cursor" and "Reset
// Alignment", put into the window's Graph menu after "Show Full Length" and carried out on the
// chart (TGraphControl), which holds the laps and the compared run.
#include <QObject>
#include <array>
#include <functional>
#include <string>

#include "rules/OverlayCommands.h"

class QAction;
class QMenu;
class QWidget;
class TGraphControl;
struct TCoreContext;

class TGraphOverlayMenu : public QObject {
  Q_OBJECT
 public:
  // after: the Graph menu's action the commands follow. report: a failure's message.
  TGraphOverlayMenu(QWidget* window, QMenu& graphMenu, QAction* after, TGraphControl& graph, TCoreContext& core,
                    std::function<void(const std::string&)> report);

  QAction* Action(TOverlayCommand c) const { return actions_[static_cast<size_t>(c)]; }
  // Enabled and checked as the chart and the current recording stand.
  void Update();
  void Execute(TOverlayCommand c);

 private:
  QWidget* window_;
  TGraphControl& graph_;
  TCoreContext& core_;
  std::function<void(const std::string&)> report_;
  std::array<QAction*, OverlayCommandCount> actions_{};
};
