#pragma once
// A main window that comes back where the user left it: placement read from the INI file section
// named after the window's object name, written back when the window is destroyed. At the first
// start, or when the stored place is on no screen there is now, it opens centred on the primary
// screen (rules/Placement).
#include <QMainWindow>
#include <string>

class TBaseForm : public QMainWindow {
  Q_OBJECT
 public:
  TBaseForm(std::string iniPath, QWidget* parent = nullptr);
  ~TBaseForm() override;

  // Called by the derived window once its controls exist (and its minimum size is set): position
  // and size, then maximised when it was closed maximised (a minimised window comes back normal).
  void RestorePlacement();
  void SavePlacement() const;

 protected:
  std::string IniPath;
};
