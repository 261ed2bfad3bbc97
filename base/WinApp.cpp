#include "base/WinApp.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "base/Paths.h"

// The build gives the version and where an installation keeps its data and documentation, both
// relative to the folder of the programs.
#if !defined(REVSCOPE_VERSION) || !defined(REVSCOPE_DATA_FROM_BIN) || !defined(REVSCOPE_DOC_FROM_BIN)
#error "REVSCOPE_VERSION, REVSCOPE_DATA_FROM_BIN and REVSCOPE_DOC_FROM_BIN come from the build"
#endif

std::string TWinApp::ExePath() {
  char buf[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return {};
  buf[n] = '\0';
  return buf;
}

std::string TWinApp::ProgramDir() {
  std::string exe = ExePath();
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return exe.substr(0, slash);
}

std::string TWinApp::InstalledDataDir() {
  const std::filesystem::path bin = ProgramDir();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(bin / REVSCOPE_DOC_FROM_BIN / "copyright", ec)) return {};
  return (bin / REVSCOPE_DATA_FROM_BIN).lexically_normal().string();
}

std::string ChooseIniPath(const std::string& programDir, const std::string& iniName, bool installed,
                          const std::string& configDir) {
  const std::string beside = programDir + "/" + iniName;
  const bool there = ::access(beside.c_str(), F_OK) == 0;
  if (there && ::access(beside.c_str(), W_OK) == 0) return beside;
  if (!installed && (there || ::access(programDir.c_str(), W_OK) == 0)) return beside;
  return configDir + "/Revscope/" + iniName;
}

std::string TWinApp::IniPath() const {
  return ChooseIniPath(ProgramDir(), IniName, !InstalledDataDir().empty(), UserConfigDir());
}

std::string TWinApp::Version() { return REVSCOPE_VERSION; }

bool TWinApp::FileVersion(char* buffer, int size) {
  if (!buffer || size <= 0) return false;
  std::strncpy(buffer, REVSCOPE_VERSION, static_cast<size_t>(size));
  buffer[size - 1] = '\0';
  return true;
}

std::string VersionBanner(const std::string& program) {
  return program + " (Revscope) " + TWinApp::Version() +
         "\n"
         "Copyright (c) 2026 Torvane\n"
         "MIT License: free to use, copy, modify and distribute; no warranty.\n";
}
