// The desktop program: start-up, the main window's message loop, shutdown.
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <clocale>
#include <string>
#include <vector>

#include "app/Fmain.h"
#include "app/Globals.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Numbers in files and formatted values always use '.', whatever the desktop's locale.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("Revscope");
  QApplication::setOrganizationName("Torvane");

  TGlobalInitHooks hooks;
  hooks.ShowError = [](const std::string& text) {
    QMessageBox::critical(nullptr, "Revscope", QString::fromStdString(text));
  };
  hooks.WithBusyCursor = [](const std::function<void()>& work) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    work();
    QGuiApplication::restoreOverrideCursor();
  };

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  try {
    GlobalInit(args, hooks);
    int rc;
    {
      TMainForm form;
      form.show();
      rc = app.exec();
    }
    GlobalUnInit(true, hooks);
    return rc == 0 ? 0 : rc;
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Revscope", QString::fromUtf8(e.what()));
    return 1;
  }
}
