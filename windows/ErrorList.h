#pragma once
// The error codes page: the active stored fault codes, one row each in fault-table order, with
// their number, short code and description.
#include <QWidget>
#include <cstdint>
#include <vector>

#include "vars/ErrorCodes.h"

class QTreeWidget;

class TErrorList : public QWidget {
  Q_OBJECT
 public:
  // codes: the active flags shown (the program's one set unless a test gives its own).
  TErrorList(QWidget* parent, TErrorCodes& codes);

  // Decodes error byte 1..4 and brings the list in line.
  void SetErrorByte(int errorByte, uint8_t value);
  // No code active, an empty list.
  void ClearAll();
  // Brings the list in line with the active flags: rows of codes that went away are deleted,
  // new ones inserted in table order, the others left alone.
  void RefreshList();
  void Refresh() { RefreshList(); }

  QTreeWidget* ListView() const { return list_; }

 private:
  TErrorCodes& codes_;
  QTreeWidget* list_ = nullptr;
  std::vector<int> rows_;  // the fault-table row of each list item
};
