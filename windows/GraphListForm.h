#pragma once
// The graph list dialog: pick sensors by name. It edits the caller's target list of ids; the
// caller sets the caption and decides what the result means.
#include <QDialog>

#include "rules/GraphListLogic.h"

class QGroupBox;
class QListWidget;
class QPushButton;
class TVarList;
class TVarRefList;

class TGraphListForm : public QDialog {
  Q_OBJECT
 public:
  // Items from the variables of a list, or from the variables a selection resolves to.
  TGraphListForm(QWidget* owner, TVarRefList& target, const TVarList& source, bool multiSelect);
  TGraphListForm(QWidget* owner, TVarRefList& target, const TVarRefList& source, bool multiSelect);

  QGroupBox* GroupBox() const { return gbGraphs_; }
  QListWidget* List() const { return lbGraphs_; }
  QPushButton* OkButton() const { return btnOK_; }
  QPushButton* CancelButton() const { return btnCancel_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void Build(bool multiSelect);
  void OkClick();
  void ItemDoubleClicked(int row);

  TGraphListLogic logic_;
  QGroupBox* gbGraphs_ = nullptr;
  QListWidget* lbGraphs_ = nullptr;
  QPushButton* btnOK_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
};
