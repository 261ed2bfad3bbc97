#pragma once
// revscope-cli: the core without a window. Each subcommand takes the arguments after its name and
// returns the exit code: 0 success, 1 failure, 2 usage error.
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TProgram;
class TRecording;
class TDisplayVar;
class TSensorList;

using TArgs = std::vector<std::string>;

int CliMain(const TArgs& args, std::ostream& out, std::ostream& err);

// The commands that work on the program's state get it from CliMain, which makes it (settings
// read, never written; no threads until a command starts them).
int CliVars(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliInfo(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliExport(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliLog(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliRecover(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliSimulate(const TArgs& args, std::ostream& out, std::ostream& err);
int CliTable(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliGears(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);

// A recording loaded as the program does; its messages (or "Could not load recording") go to err.
std::unique_ptr<TRecording> CliLoadRecording(TProgram& program, const std::string& path, std::ostream& err);
// A display sensor by id or name; none with the reason (a raw id is told which sensors it feeds).
TDisplayVar* CliFindSensor(const TSensorList& sensors, const std::string& spec, std::string* why);

// The text of "revscope-cli --help".
std::string CliUsage();
// A usage error: the message and a pointer to --help on err; returns 2.
int CliUsageError(std::ostream& err, const std::string& message);

// "--name VALUE" or "--name=VALUE" at args[i]: the value, and i advanced past it. None when
// args[i] is another argument, or when the value is missing (then missing is set).
std::optional<std::string> CliOptionValue(const TArgs& args, size_t& i, const std::string& name, bool& missing);
// The text with control characters shown escaped (\n, \t, \r, \x1b ...), so that printing it can
// neither start a line of its own nor send a terminal sequence.
std::string EscapeControl(const std::string& text);
