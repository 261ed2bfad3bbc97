#include "program/CommandLine.h"

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine line;
  for (const std::string& a : args) {
    if (line.Action == TCommandLine::Run && (a == "--help" || a == "-h")) line.Action = TCommandLine::Help;
    if (line.Action == TCommandLine::Run && a == "--version") line.Action = TCommandLine::Version;
    if (a == "--simulate") line.Simulate = true;
  }
  return line;
}

std::string ProgramHelp(const std::string& iniPath, const std::string& machinePath) {
  return "Usage: revscope [OPTION]... [FILE.rec]...\n"
         "A datalogger for Honda OBD0 and OBD1 engine control units: live gauges, sensor list,\n"
         "error codes and graphs; records, plays back and exports recordings.\n"
         "\n"
         "Each FILE.rec is opened at start; the last one becomes the current recording.\n"
         "\n"
         "Options:\n"
         "  --simulate    Talk to the built-in simulated ECU for this run (the stored port stays).\n"
         "  -h, --help    Show this text and exit.\n"
         "  --version     Show the version and exit.\n"
         "  Other arguments that begin with '-' are ignored; Qt's own options (-platform, -style,\n"
         "  ...) are accepted.\n"
         "\n"
         "Settings:\n"
         "  " + iniPath + "\n"
         "      This program's settings: beside the program when the file is there and writable\n"
         "      (or, for a program that is not installed, when its folder is writable),\n"
         "      otherwise $XDG_CONFIG_HOME/Revscope/Revscope.ini (~/.config/Revscope/Revscope.ini).\n"
         "  " + machinePath + "\n"
         "      The per-machine settings (units, polling, serial line, lambda table).\n"
         "\n"
         "Unsaved recordings are journalled in $XDG_STATE_HOME/Revscope (~/.local/state/Revscope)\n"
         "and offered for recovery at the next start. See revscope(1) and revscope-cli(1).\n";
}
