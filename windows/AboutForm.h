#pragma once
// The About box: the program's icon and name, its version and the ECU family it is set for.
#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <string>
#include <vector>

#include "rules/FileAssociation.h"

class QLabel;
class QPushButton;
class TGameForm;
struct TECUType;

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  // Modal; the family shown is the ECU type's at the time the box opens.
  // iniPath: the program's INI file, where the hidden game keeps its high score.
  TAboutForm(const TECUType& ecu, std::string iniPath, QWidget* parent = nullptr);

  QLabel* IconLabel() const { return icon_; }
  QLabel* ProductLabel() const { return product_; }
  QLabel* VersionLabel() const { return version_; }
  QLabel* EcuLabel() const { return ecu_; }
  QPushButton* OkButton() const { return ok_; }

  // Shift and a double-click on the icon: the box closes and the hidden game opens in a window of
  // its own (beside the box's parent), keeping its high score in the settings file.
  TGameForm* OpenGame();
  TGameForm* Game() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QPointer<TGameForm> game_;
  QLabel* icon_ = nullptr;
  QLabel* product_ = nullptr;
  QLabel* version_ = nullptr;
  QLabel* ecu_ = nullptr;
  const std::string iniPath_;
  QPushButton* ok_ = nullptr;
};

// "Version " and the program's version, e.g. "Version 1.0.0".
QString VersionText();
// The family name and " ECU", e.g. "OBD1 ECU".
QString EcuFamilyText(const TECUType& ecu);
// The program's icon: a rev counter's dial with its needle, drawn at any size.
QIcon ProgramIcon();
// The icon as PNG files at every size of the icon theme (AssociationIconSizes).
std::vector<TIconImage> ProgramIconImages();
