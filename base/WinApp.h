#pragma once
// Where the program lives: the folder of the running executable, whether it runs from an
// installation, the INI file's path and the program's version.
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
  // The data folder of the installation the program runs from: <prefix>/share when the program's
  // folder is <prefix>/bin and the prefix holds the program's copyright file
  // (share/doc/revscope/copyright). Empty when it runs from its build folder or a copied folder.
  static std::string InstalledDataDir();
  // ChooseIniPath for this program.
  std::string IniPath() const;
  // The version, from the build (the project's version).
  static std::string Version();
  // The program's version text; false when there is none.
  static bool FileVersion(char* buffer, int size);
};

// Where the per-program INI file lives. Beside the program when the file is there and writable.
// A program that is not installed (a build, a copied folder) also keeps it beside itself when the
// file is there or the folder is writable. Otherwise <configDir>/Revscope/<iniName>.
std::string ChooseIniPath(const std::string& programDir, const std::string& iniName, bool installed,
                          const std::string& configDir);

// What --version prints: "<program> (Revscope) <version>", the copyright and the licence.
std::string VersionBanner(const std::string& program);
