#pragma once
// The desktop program's command line: the recordings to open, --simulate, --help and --version.
// Every other argument that begins with "-" is skipped (Qt's own options are taken out before).
#include <string>
#include <vector>

struct TCommandLine {
  enum TAction { Run, Help, Version };
  TAction Action = Run;  // the first of --help (or -h) and --version wins
  bool Simulate = false;  // --simulate: this run talks to the built-in simulated ECU
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of "revscope --help", naming the two settings files this copy of the program uses.
std::string ProgramHelp(const std::string& iniPath, const std::string& machinePath);
