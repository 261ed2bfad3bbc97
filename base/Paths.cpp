#include "base/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {
std::string HomeDir() {
  const char* home = std::getenv("HOME");
  std::string h = home && *home ? home : "";
  if (h.empty())
    if (const passwd* pw = getpwuid(getuid())) h = pw->pw_dir ? pw->pw_dir : "";
  return h;
}
}  // namespace

std::string UserConfigDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  return HomeDir() + "/.config";
}

std::string UserStateDir() {
  const char* xdg = std::getenv("XDG_STATE_HOME");
  if (xdg && *xdg == '/') return xdg;
  return HomeDir() + "/.local/state";
}

std::string MachineSettingsPath() { return UserConfigDir() + "/Torvane/Settings.ini"; }
