#pragma once
// The sensor picker: an ordered selection of display variables, chosen on the left, the rest on
// the right, edited in the caller's selection as the user works.
#include <QDialog>
#include <vector>

#include "rules/VarPickLogic.h"

class QListWidget;
class QPushButton;
class QToolButton;
class TDisplayVar;
class TSensorList;
class TVarRefList;

class TPickVarForm : public QDialog {
  Q_OBJECT
 public:
  // selection: over the display list, owned by the caller; the caller sets the caption.
  TPickVarForm(QWidget* owner, TVarRefList& selection);

  QListWidget* SelectedList() const { return lbSelVars_; }
  QListWidget* AvailableList() const { return lbVarList_; }
  QPushButton* AddButton() const { return btnAddVar_; }
  QPushButton* AddAllButton() const { return btnAddAllVars_; }
  QPushButton* RemoveButton() const { return btnRemoveVar_; }
  QPushButton* RemoveAllButton() const { return btnRemoveAllVars_; }
  QToolButton* MoveUpButton() const { return btnMoveUp_; }
  QToolButton* MoveDownButton() const { return btnMoveDown_; }
  QPushButton* OkButton() const { return btnOK_; }
  QPushButton* CancelButton() const { return btnCancel_; }

 protected:
  // The dialog opens in the middle of the screen, wherever its owner is.
  void showEvent(QShowEvent* e) override;

 private:
  // Rebuilds both list boxes from the rules' lines.
  void ShowLists();
  void ShowButtons();
  // Takes the lines the user selected into the rules.
  void TakeLines();
  void Act(void (TVarPickLogic::*action)());

  TVarPickLogic logic_;
  QListWidget* lbSelVars_ = nullptr;
  QListWidget* lbVarList_ = nullptr;
  QPushButton* btnAddVar_ = nullptr;
  QPushButton* btnAddAllVars_ = nullptr;
  QPushButton* btnRemoveVar_ = nullptr;
  QPushButton* btnRemoveAllVars_ = nullptr;
  QToolButton* btnMoveUp_ = nullptr;
  QToolButton* btnMoveDown_ = nullptr;
  QPushButton* btnOK_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
};

// The Export command's choice: the picker captioned "Select sensors to export" over an empty
// selection of display variables. The chosen variables in the chosen order; none when the user
// cancelled or chose nothing.
std::vector<TDisplayVar*> PickExportVariables(TSensorList& sensors, QWidget* parent);
