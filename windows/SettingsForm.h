#pragma once
// The Settings dialog: six pages over the settings, bound to the rules of rules/SettingsLogic. It
// reads the settings when it is made and writes them back only on OK; the file association, the
// lambda table and the gearbox preset index change at once, as their controls are used.
#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "rules/FileAssociation.h"
#include "rules/PortList.h"
#include "rules/SettingsLogic.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class TFileAssociation;
struct TSettings;
struct TGearLearning;

class TSettingsForm : public QDialog {
  Q_OBJECT
 public:
  // association: none leaves the association box disabled. foundDevices: the serial devices the
  // Port list offers besides the COM ports (FindSerialDevices()). runDevice: the device this run
  // talks to instead of the stored port ("sim" under --simulate), which the Port list then shows
  // chosen; left chosen, OK keeps the stored port.
  TSettingsForm(TSettings& settings, TFileAssociation* association, const std::vector<std::string>& foundDevices,
                QWidget* parent = nullptr, const std::string& runDevice = {});

  QTabWidget* Pages() const { return pages_; }
  void SelectPage(int page);
  int ActivePage() const;

  // The controls, for the window's tests.
  QLineEdit* Edit(TSettingsField f) const { return edits_[static_cast<size_t>(f)]; }
  QRadioButton* Radio(const char* name) const;
  QCheckBox* Check(const char* name) const;
  QPushButton* Button(const char* name) const;
  QComboBox* PortList() const { return port_; }
  // Another entry than the one shown at the start is chosen in the Port list.
  bool PortChosen() const;
  QComboBox* GearQuickSelect() const { return quickSelect_; }
  QSlider* ProcessSlider() const { return process_; }
  QSlider* PollingSlider() const { return polling_; }
  QSlider* ScreenSlider() const { return screen_; }
  const std::vector<TPortEntry>& PortEntries() const { return ports_; }

  // What the controls hold now.
  TSettingsValues Values() const;

  // Opens the lambda conversion dialog; tests may replace it.
  std::function<void()> EditLambdaTable;
  // Learns the gear ratios of the current recording with a final drive and tyre circumference;
  // without it (no recording) "Learn from recording" is disabled.
  void SetLearnGears(std::function<TGearLearning(double finalDrive, double circumference)> learn);
  // Learns, shows the ratios found and, when the user takes them, puts them into the ratio edits.
  void LearnGearsCommand();

 protected:
  void accept() override;

 private:
  QWidget* BuildGeneral();
  QWidget* BuildVehicle();
  QWidget* BuildDrivetrain();
  QWidget* BuildRecording();
  QWidget* BuildLambda();
  QWidget* BuildPriorities();
  QLineEdit* MakeEdit(TSettingsField f, QWidget* parent);
  void Fill(const TSettingsValues& v);
  void UpdateEnabling();
  void TyreSizeChanged();
  void AssociationClicked(bool on);

  std::function<TGearLearning(double, double)> learnGears_;

  TSettings& settings_;
  TFileAssociation* association_;
  // What the association box shows as the dialog opens; whether it can change stays so.
  TAssociationBox associationBox_;
  TPortChoice storedPort_;
  TPortChoice shownPort_;
  std::vector<TPortEntry> ports_;
  bool initialising_ = false;
  QTabWidget* pages_ = nullptr;
  std::array<QLineEdit*, SettingsFieldCount> edits_{};
  QComboBox* port_ = nullptr;
  QComboBox* quickSelect_ = nullptr;
  QSlider* process_ = nullptr;
  QSlider* polling_ = nullptr;
  QSlider* screen_ = nullptr;
};

// Runs the Settings dialog for the program's settings, opened on its last page. On OK: the page is
// stored, the settings are saved (saveFailed receives the reasons when they could not be; the
// values stay in memory either way) and true is returned so the caller applies them.
// runDevice as for the form; portChosen (when given) tells whether OK came with another port chosen
// than the one shown, which the caller then hands to the link. learnGears: as SetLearnGears (none:
// no recording to learn from).
bool ExecuteSettingsDialog(QWidget* parent, TSettings& settings, const std::function<bool(std::string*)>& save,
                           const std::function<void(const std::string&)>& saveFailed, const std::string& runDevice = {},
                           bool* portChosen = nullptr,
                           const std::function<TGearLearning(double, double)>& learnGears = {});
