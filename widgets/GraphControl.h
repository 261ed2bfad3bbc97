#pragma once
// The Graphs page's chart: an off-screen image that a TGraph paints, with the cursor (the play
// position), the reference cursor, the values at them and the rubber band drawn over it. The
// mouse follows rules/GraphMouse; the values and the time axis's boxes rules/GraphCursors.
#include <QImage>
#include <QRegion>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/LapOverlay.h"
#include "rules/GraphCursors.h"
#include "rules/GraphMouse.h"
#include "rules/RunCompare.h"
#include "widgets/Graph.h"

struct TCoreContext;
class TGraphSelection;
class TRecording;

class TGraphControl : public QWidget {
  Q_OBJECT
 public:
  TGraphControl(QWidget* parent, TGraphSelection& selection, TCoreContext& core);
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

  // The reference cursor, kept within the recording; cleared when another recording shows.
  std::optional<double> Reference() const { return reference_; }
  void SetReference(double t);
  void ClearReference();

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

  // Laps laid over each other (analysis/LapOverlay): the x axis is the time or distance since
  // each lap's start and the cursor a place along it. On only while the current recording has
  // laps; turning it on removes a compared run. The legend beside the panes shows and hides laps.
  bool Overlaying() const { return overlay_.has_value(); }
  // False when the current recording has no laps (the overlay stays off).
  bool SetOverlay(bool on);
  TLapAxis LapAxis() const { return lapAxis_; }
  // Kept for the next overlay too; distance only where the recording has a road speed.
  void SetLapAxis(TLapAxis axis);
  TLapOverlay* Overlay() { return overlay_ ? &*overlay_ : nullptr; }
  void ToggleLap(size_t lap);
  const TLapLegendLayout& Legend() const { return legend_; }

  // Another recording laid under the current one (rules/RunCompare), read-only and held here; it
  // goes when the current recording is closed or another becomes current. Turning it on turns
  // the laps off.
  bool Comparing() const { return compared_ != nullptr; }
  void SetCompared(std::unique_ptr<TRecording> reference);
  void ClearCompared();
  const TRunCompare* Compare() const { return compare_ ? &*compare_ : nullptr; }
  // The compared run's point (chosen with Ctrl and a click at the current run's time t) and the
  // shift that puts it under the cursor, or back to the starts.
  void SetComparePoint(double t);
  void AlignCompared();
  void ResetCompared();

  TGraph& Graph() { return graph_; }
  bool HasRecording() const { return Current() != nullptr; }
  // Each pane's values at the cursors (no values for a pane without data, and for all while the
  // cursor is outside the window), the text shown beside each pane's name, and the time axis's
  // boxes.
  const std::vector<TCursorReadout>& Readouts();
  std::vector<std::string> CursorValueTexts();
  const TCursorAxis& Axis();
  std::string CursorTimeText() { return Axis().Cursor.Shown ? Axis().Cursor.Text : std::string(); }
  // The values at the cursors as a table (rules/GraphCursors), and put on the clipboard.
  std::string ValuesTable();
  void CopyValues();
  // The off-screen image, drawn first when it is out of date.
  const QImage& Buffer();
  bool RectangleShown() const { return mouse_.Band().has_value(); }
  // What the last change of the cursors asked to be painted again.
  const QRegion& ChangedRegion() const { return changed_; }
  // The time under the pointer when the pane menu was asked for.
  double MenuTime() const { return menuTime_; }

 signals:
  // A click or a drag put the cursor here: the play position follows.
  void CursorPicked(double t);
  // A right-click on pane (-1: below the panes) at a point on the screen.
  void PaneMenuRequested(int pane, const QPoint& globalPos);
  // The laps or a compared run were turned on or off, or the lap axis changed: menus follow.
  void OverlayChanged();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  const TRecording* Current() const;
  bool SizeDiffers() const;
  bool CursorInside() const;
  void Carry(const TGraphMouseAction& action);
  // The values, the boxes and the places they are drawn, worked out again; then the places they
  // took and take now are painted again.
  void CursorsChanged();
  void ComputeOverlay();
  void SetBand(const std::optional<TDragBand>& band);
  // The view changed: a band in progress goes.
  void DropBand();
  // Draws what lies in region (the rest is as it was).
  void DrawOverlay(QPainter& p, const QRegion& region);
  void DrawHint(QPainter& p);
  // The axis, the right margin, the Δ time pane and the lines the chart draws for the laps or
  // the compared run; then Rebuild.
  void ApplyOverlay();
  // The laps of r laid over each other, on the lap axis chosen.
  void MakeOverlay(const TRecording& r);
  std::vector<TPaneLine> LinesUnder(const TGraphlet& pane);
  const std::vector<TPlacedValue>& LapTrace(const TGraphlet& pane, size_t lap);
  std::string OverlayReadout(const TGraphlet& pane);
  // The legend and the compared run's caption, drawn into the image.
  void DrawOverlayParts(QPainter& p);

  TCoreContext& core_;
  TGraphSelection& selection_;
  TGraph graph_;
  QImage buffer_;
  double position_ = 0;
  std::optional<double> reference_;
  bool dirty_ = true;
  TGraphMouse mouse_;
  QRect band_;  // the band as drawn, in widget pixels; empty when none
  double menuTime_ = 0;
  // What is drawn over the image, worked out when the cursors or the layout change.
  bool overlayValid_ = false;
  std::vector<TCursorReadout> readouts_;
  std::vector<std::string> readoutTexts_;  // by pane, as drawn after the name
  std::vector<QImage> readoutImages_;      // by pane: the text on the name's ground
  std::vector<QRect> readoutBoxes_;        // by pane; empty for none
  std::vector<int> nameWidths_;      // by pane, measured once a layout
  std::vector<QRect> lineRects_;     // the cursors' lines
  TCursorAxis axis_;
  QRect axisRow_;
  // What the last change of the cursors painted again: the places the overlay took before and
  // takes now, as a few rectangles (a region would cut them into many).
  std::vector<QRect> changedRects_;
  QRegion changed_;
  TTileText readoutText_;
  std::optional<TLapOverlay> overlay_;
  TLapAxis lapAxis_ = TLapAxis::Time;
  TLapLegendLayout legend_;
  int baseRightMargin_ = 0;
  std::unique_ptr<TRecording> compared_;
  std::optional<TRunCompare> compare_;
  const TRecording* comparedWith_ = nullptr;  // the current recording it lies under
};
