// Writes the files an installation gives the desktop, under a data folder laid out like
// <prefix>/share: the desktop entry, the MIME package for recordings and the program's icons. They
// come from the same code as the program's own file association, so both are always alike.
#include <QGuiApplication>
#include <cstdio>

#include "rules/FileAssociation.h"
#include "windows/AboutForm.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_desktop_files DATA-FOLDER\n");
    return 2;
  }
  // The icons are painted without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  // The installed entry starts the program found on PATH.
  TFileAssociation files({argv[1], "", "revscope"});
  files.Icons = ProgramIconImages();
  if (!files.WriteFiles()) {
    std::fprintf(stderr, "make_desktop_files: cannot write below %s\n", argv[1]);
    return 1;
  }
  return 0;
}
