#pragma once
// The Graphs page's chart: an off-screen image that a TGraph paints, with the play position's
// cursor, the values at the cursor and the rubber band drawn over it.
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <string>
#include <vector>

#include "widgets/Graph.h"

struct TCoreContext;
class TRecording;
class TVarRefList;

class TGraphControl : public QWidget {
  Q_OBJECT
 public:
  TGraphControl(QWidget* parent, TVarRefList& selection, TCoreContext& core);
  ~TGraphControl() override;

  double Position() const { return position_; }
  double MaxTime() const { return graph_.Model.MaxTime; }
  double StartTime() const { return graph_.Model.StartTime; }
  double EndTime() const { return graph_.Model.EndTime; }
  double Range() const { return graph_.Model.TimeSpan; }

  void SetPosition(double t);
  void SetStartTime(double t);
  void SetEndTime(double t);
  // Stores the span only.
  void SetRange(double span) { graph_.Model.TimeSpan = span; }
  // SetStartTime then SetEndTime, with one layout.
  void SetWindow(double start, double end);

  // Layout, then RepaintBuffer.
  void Rebuild();
  // The chart is drawn into the off-screen image again, once, before the control next shows it.
  void RepaintBuffer();
  // Draws the chart into the off-screen image now.
  void PaintBuffer();
  // The image and the chart take the control's size; layout; RepaintBuffer.
  void ResizeGraph();
  // A recording became current (or none is): the window covers it all.
  void RecordingChanged();
  // The values drawn changed meaning (units, settings, ECU type): summaries are rebuilt.
  void InvalidateTraces();

  TGraph& Graph() { return graph_; }
  // What the cursor shows beside each pane's name (empty for a pane without data, and for all
  // while the cursor is outside the window), and on the time axis.
  std::vector<std::string> CursorValueTexts() const;
  std::string CursorTimeText() const;
  // The off-screen image, drawn first when it is out of date.
  const QImage& Buffer();
  bool RectangleShown() const { return rectShown_; }
  QRect Rectangle() const { return QRect(pressPoint_, currentPoint_).normalized(); }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  const TRecording* Current() const;
  void DrawCursor(QPainter& p);
  // The sensors' values beside their names and the time on the axis, at the cursor.
  void DrawCursorValues(QPainter& p);
  bool SizeDiffers() const;
  bool CursorInside() const;

  TCoreContext& core_;
  TGraph graph_;
  QImage buffer_;
  double position_ = 0;
  bool dirty_ = true;
  bool dragging_ = false;
  bool rectShown_ = false;
  QPoint pressPoint_;
  QPoint currentPoint_;
};
