#pragma once
// Where per-user files live.
#include <string>

// $HOME, else the user's home folder from the password database.
std::string UserHomeDir();
// $XDG_CONFIG_HOME, else ~/.config.
std::string UserConfigDir();
// $XDG_STATE_HOME, else ~/.local/state: what a program keeps between runs that is not a setting.
std::string UserStateDir();
// The per-machine settings file: UserConfigDir()/Torvane/Settings.ini.
std::string MachineSettingsPath();
