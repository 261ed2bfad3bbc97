#pragma once
// Where the program lives: the folder of the running executable, the INI and help file paths.
#include <string>

class TWinApp {
 public:
  TWinApp(const std::string& iniName, const std::string& helpName);

  std::string IniName;
  std::string HelpName;

  // The executable's folder, without a trailing separator.
  static std::string ProgramDir();
  // The executable's full path.
  static std::string ExePath();
  // Beside the program when that folder is writable or the file is already there; otherwise in
  // the user's configuration folder (Revscope/Revscope.ini).
  std::string IniPath() const;
  std::string HelpPath() const;
  // The program's version text; false when there is none.
  static bool FileVersion(char* buffer, int size);
};

extern TWinApp* WinApp;
