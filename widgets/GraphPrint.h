#pragma once
// One page of the chart on a printer.
#include <string>
#include <vector>

#include "widgets/Graph.h"

class QPainter;
class QPrinter;
struct TCoreContext;
class TRecording;
class TVarRefList;

// One page of the chart: the window the caller sets, the title "Revscope - <description>".
class TGraphPrint {
 public:
  TGraphPrint(QPrinter& printer, const TVarRefList& selection, TCoreContext& core);
  virtual ~TGraphPrint() = default;

  void SetStartTime(double t);
  void SetEndTime(double t);
  TGraph& Graph() { return graph_; }
  // What the cursor shows beside each pane's name (empty for a pane without data, and for all
  // while the cursor is outside the window), and on the time axis.
  std::vector<std::string> CursorValueTexts() const;
  std::string CursorTimeText() const;
  // Draws the page with a painter begun on the printer.
  virtual void Print(QPainter& p);

 private:
  const TRecording* Current() const;
  TCoreContext& core_;
  TGraph graph_;
};
