#include "windows/BaseForm.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include "rules/Placement.h"

TBaseForm::TBaseForm(std::string iniPath, QWidget* parent) : QMainWindow(parent), IniPath(std::move(iniPath)) {}

TBaseForm::~TBaseForm() { SavePlacement(); }

void TBaseForm::RestorePlacement() {
  std::vector<TScreenArea> screens;
  int primary = 0;
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen == QGuiApplication::primaryScreen()) primary = static_cast<int>(screens.size());
    const QRect a = screen->availableGeometry();
    screens.push_back({a.left(), a.top(), a.width(), a.height()});
  }
  const std::optional<TPlacement> stored =
      IniPath.empty() ? std::nullopt : ReadPlacement(IniPath, objectName().toStdString());
  const TPlacement p = StartPlacement(stored, screens, primary, minimumWidth(), minimumHeight(),
                                      style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
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
