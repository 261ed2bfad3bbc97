#pragma once
// Where the program lives: the folder of the running executable and the INI file's path.
#include <string>
#include <utility>

class TWinApp {
 public:
  explicit TWinApp(std::string iniName) : IniName(std::move(iniName)) {}

  std::string IniName;

  // The executable's folder, without a trailing separator.
  static std::string ProgramDir();
  // The executable's full path.
  static std::string ExePath();
  // Beside the program when that folder is writable or the file is already there; otherwise in
  // the user's configuration folder (Revscope/Revscope.ini).
  std::string IniPath() const;
  // The program's version text; false when there is none.
  static bool FileVersion(char* buffer, int size);
};
