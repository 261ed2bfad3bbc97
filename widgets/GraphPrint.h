#pragma once
// One page of the chart on a printer.
#include "widgets/Graph.h"

class QPainter;
class QPrinter;
struct TCoreContext;
class TRecording;
class TGraphSelection;

// One page of the chart: the window the caller sets, the title "Revscope - <description>".
class TGraphPrint {
 public:
  TGraphPrint(QPrinter& printer, const TGraphSelection& selection, TCoreContext& core);
  virtual ~TGraphPrint() = default;

  void SetStartTime(double t);
  void SetEndTime(double t);
  TGraph& Graph() { return graph_; }
  // Draws the page with a painter begun on the printer.
  virtual void Print(QPainter& p);

 private:
  const TRecording* Current() const;
  TCoreContext& core_;
  TGraph graph_;
};
