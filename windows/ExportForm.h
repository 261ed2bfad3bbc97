#pragma once
// The export dialog: one CSV file (rows at a rate or at every sample time, with or without each
// value's age) or one .tdf file per sensor (each file's name asked for, or all into one folder),
// with a line that says what will be written. Its rules are rules/ExportDialogLogic.
#include <QDialog>
#include <vector>

#include "rules/ExportDialogLogic.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TDecimalEdit;

class TExportForm : public QDialog {
  Q_OBJECT
 public:
  // The chosen sensors of the recording, the choices to start from.
  TExportForm(QWidget* parent, const TRecording& recording, const std::vector<TDisplayVar*>& sensors,
              const TExportChoices& choices);

  const TExportChoices& Choices() const { return choices_; }

  QRadioButton* CsvButton() const { return csv_; }
  QRadioButton* TdfButton() const { return tdf_; }
  QRadioButton* RateButton() const { return atRate_; }
  TDecimalEdit* RateEdit() const { return rate_; }
  QRadioButton* EverySampleButton() const { return everySample_; }
  QCheckBox* AgeBox() const { return age_; }
  QRadioButton* AskEachButton() const { return askEach_; }
  QRadioButton* FolderButton() const { return folder_; }
  QLabel* Summary() const { return summary_; }
  QPushButton* ExportButton() const { return export_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  // Takes the controls into the choices, then enables and describes as the rules say.
  void Changed();
  void Show();

  const TRecording& recording_;
  const std::vector<TDisplayVar*> sensors_;
  TExportChoices choices_;
  QRadioButton* csv_ = nullptr;
  QRadioButton* tdf_ = nullptr;
  QRadioButton* atRate_ = nullptr;
  TDecimalEdit* rate_ = nullptr;
  QLabel* rateUnit_ = nullptr;
  QRadioButton* everySample_ = nullptr;
  QCheckBox* age_ = nullptr;
  QRadioButton* askEach_ = nullptr;
  QRadioButton* folder_ = nullptr;
  QLabel* summary_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* cancel_ = nullptr;
};
