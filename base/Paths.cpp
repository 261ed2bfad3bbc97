#include "base/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

std::string UserHomeDir() {
  const char* home = std::getenv("HOME");
  std::string h = home && *home ? home : "";
  if (h.empty())
    if (const passwd* pw = getpwuid(getuid())) h = pw->pw_dir ? pw->pw_dir : "";
  return h;
}

std::string UserConfigDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  return UserHomeDir() + "/.config";
}

std::string UserStateDir() {
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (xdg && *xdg == '/') return xdg;
  return UserHomeDir() + "/.local/state";
}

std::string MachineSettingsPath() { return UserConfigDir() + "/Torvane/Settings.ini"; }
