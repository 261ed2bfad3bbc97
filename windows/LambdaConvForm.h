#pragma once
// The Lambda Conversion dialog: the meter presets and the twelve-row voltage/lambda grid. Every
// edit goes into the settings' table at once; the rules are rules/LambdaLogic.
#include <QDialog>

#include <functional>

class QComboBox;
class QPushButton;
class TColorStringGrid;
struct TSettings;

class TLambdaConvForm : public QDialog {
  Q_OBJECT
 public:
  TLambdaConvForm(TSettings& settings, QWidget* parent = nullptr);

  QComboBox* QuickSelect() const { return quickSelect_; }
  TColorStringGrid* Grid() const { return grid_; }
  QPushButton* CloseButton() const { return close_; }
  // Refills the grid from the table.
  void FillGrid();

  // Shows why the dialog cannot close yet; tests replace it.
  std::function<void(const QString&)> ShowMessage;

  // Closing (Close, Esc, the window's close button) is refused while the table does not rise.
  void done(int result) override;

 private:
  void CellEdited(int row, int column, const QString& text);

  TSettings& settings_;
  QComboBox* quickSelect_ = nullptr;
  TColorStringGrid* grid_ = nullptr;
  QPushButton* close_ = nullptr;
  bool filling_ = false;
};
