#pragma once
// The main window: the page control with the dashboard, sensor list, graph, error codes,
// recordings and laps pages.
#include <QMainWindow>
#include <memory>

class QTabWidget;
class QWidget;
class TQtMessageTarget;

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  enum Page { tsECU = 0, tsSensors, tsGraphs, tsErrorCodes, tsRecordings, tsLaps, PageCount };

  QTabWidget* Pages() const { return pages_; }
  QWidget* PageWidget(Page p) const { return pageWidgets_[p]; }
  // Shows the page, also one whose tab is hidden.
  void SelectPage(Page p);
  bool IsPageVisible(Page p) const;
  void SetPageVisible(Page p, bool visible);
  TQtMessageTarget* MessageTarget() const { return messages_.get(); }

 protected:
  bool event(QEvent* e) override;

 private:
  QTabWidget* pages_ = nullptr;
  QWidget* pageWidgets_[PageCount] = {};
  std::unique_ptr<TQtMessageTarget> messages_;
};
