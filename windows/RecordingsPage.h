#pragma once
// The recordings page: one row per open recording (description, file, saved, time, length, size).
// Clicking a row or moving to it with the keys makes its recording current; the description is
// edited in place; the pop-up menu closes, saves or exports the selected recording.
#include <QWidget>

#include "recording/Recording.h"
#include "windows/FileDialogs.h"

class QMenu;
class QTreeWidget;
class TRecListView;

class TRecMan : public QWidget {
  Q_OBJECT
 public:
  explicit TRecMan(TCoreContext& core, QWidget* parent = nullptr);

  // Brings the rows in line with the recording list and selects the current recording's row.
  void RefreshList();
  // The same: what the window's recordings refresh calls.
  void Refresh() { RefreshList(); }

  // The recording of the selected row, or none.
  TRecording* SelectedRecording() const;

  QTreeWidget* ListView() const;
  QMenu* PopupMenu() const { return popup_; }
  // The pop-up menu's commands on the selected recording; nothing without one.
  void CloseSelected();
  void SaveSelectedAs();
  void ExportSelected();
  // Where the pop-up menu's Export reports; the window fills it.
  TExportReports ExportReports;

 private:
  void MakeSelectedCurrent();
  void DescriptionEdited(int row, const QString& text);

  TCoreContext& core_;
  TRecListView* list_ = nullptr;
  QMenu* popup_ = nullptr;
  bool refreshing_ = false;
};
