#include "windows/BaseForm.h"

#include "rules/Placement.h"

TBaseForm::TBaseForm(std::string iniPath, QWidget* parent) : QMainWindow(parent), IniPath(std::move(iniPath)) {}

TBaseForm::~TBaseForm() { SavePlacement(); }

void TBaseForm::RestorePlacement() {
  if (IniPath.empty()) return;
  const QRect g = geometry();
  const TPlacement p =
      ReadPlacement(IniPath, objectName().toStdString(), {g.left(), g.width(), g.top(), g.height(), 0});
  setGeometry(p.Left, p.Top, p.Width, p.Height);
  if (p.WindowState == 2) setWindowState(Qt::WindowMaximized);
}

void TBaseForm::SavePlacement() const {
  if (IniPath.empty()) return;
  // The geometry of a maximised window is not its normal placement; normalGeometry() is.
  const QRect g = isMaximized() || isMinimized() ? normalGeometry() : geometry();
  const int state = isMaximized() ? 2 : isMinimized() ? 1 : 0;
  WritePlacement(IniPath, objectName().toStdString(), {g.left(), g.width(), g.top(), g.height(), state});
}
