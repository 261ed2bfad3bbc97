#include "base/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

std::string UserConfigDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  std::string h = home && *home ? home : "";
  if (h.empty())
    if (const passwd* pw = getpwuid(getuid())) h = pw->pw_dir ? pw->pw_dir : "";
  return h + "/.config";
}

std::string MachineSettingsPath() { return UserConfigDir() + "/Torvane/Settings.ini"; }
