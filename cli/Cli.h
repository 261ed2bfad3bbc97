#pragma once
// revscope-cli: the core without a window. Each subcommand takes the arguments after its name and
// returns the exit code: 0 success, 1 failure, 2 usage error.
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TDisplayVar;
class TProgram;
class TRecording;
class TSensorList;

using TArgs = std::vector<std::string>;

int CliMain(const TArgs& args, std::ostream& out, std::ostream& err);

// The commands that work on the program's state get it from CliMain, which makes it (settings
// read, never written; no threads until a command starts them).
int CliVars(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliInfo(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliExport(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
// "export --csv": one CSV table of the chosen sensors on one time base.
int CliExportCsv(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliLaps(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliLog(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliRecover(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliSimulate(const TArgs& args, std::ostream& out, std::ostream& err);
int CliTable(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);
int CliGears(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err);

// The text of "revscope-cli --help".
std::string CliUsage();
// A usage error: the message and a pointer to --help on err; returns 2.
int CliUsageError(std::ostream& err, const std::string& message);

// "--name VALUE" or "--name=VALUE" at args[i]: the value, and i advanced past it. None when
// args[i] is another argument, or when the value is missing (then missing is set).
std::optional<std::string> CliOptionValue(const TArgs& args, size_t& i, const std::string& name, bool& missing);
// The arguments of a command that takes one recording file and no options: 0 when args is just
// that file, else a usage error (its exit code returned).
int CliOneFile(const TArgs& args, const std::string& command, std::ostream& err);
// An argument at args[i] that no option of the command took: a missing value or an unknown option
// is a usage error (its exit code returned); otherwise it is the command's one file, put into path
// (0 returned; a second file is a usage error).
int CliFileArgument(const TArgs& args, size_t i, bool missing, const std::string& command,
                    std::optional<std::string>& path, std::ostream& err);
// A plain decimal number: digits with an optional fraction ("30", "1.5", ".25"); no sign, blanks,
// exponent, "inf" or "nan", whatever the locale.
bool ParseDecimal(const std::string& text, double& value);

// A recording loaded as the program loads it, every message on err; none when it failed (and
// "Could not load recording" when the load said nothing).
std::unique_ptr<TRecording> LoadForCli(TProgram& program, const std::string& path, std::ostream& err);
// A display sensor by id or by name (without regard to case), and why a name finds none.
TDisplayVar* FindSensor(const TSensorList& sensors, const std::string& spec);
std::string UnknownSensorText(const TSensorList& sensors, const std::string& spec);

// The text with control characters shown escaped (\n, \t, \r, \x1b ...), so that printing it can
// neither start a line of its own nor send a terminal sequence.
std::string EscapeControl(const std::string& text);
