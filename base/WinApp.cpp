#include "base/WinApp.h"

#include <climits>
#include <cstring>
#include <unistd.h>

#include "base/Paths.h"

#ifndef REVSCOPE_VERSION
#define REVSCOPE_VERSION "1.0.0"
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

std::string TWinApp::IniPath() const {
  std::string beside = ProgramDir() + "/" + IniName;
  if (::access(beside.c_str(), F_OK) == 0 || ::access(ProgramDir().c_str(), W_OK) == 0) return beside;
  return UserConfigDir() + "/Revscope/" + IniName;
}

bool TWinApp::FileVersion(char* buffer, int size) {
  if (!buffer || size <= 0) return false;
  std::strncpy(buffer, REVSCOPE_VERSION, static_cast<size_t>(size));
  buffer[size - 1] = '\0';
  return true;
}
