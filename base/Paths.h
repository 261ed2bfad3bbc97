#pragma once
// Where per-user files live.
#include <string>

// $XDG_CONFIG_HOME, else ~/.config.
std::string UserConfigDir();
// The per-machine settings file: UserConfigDir()/Torvane/Settings.ini.
std::string MachineSettingsPath();
