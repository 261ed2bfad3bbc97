#include "cli/Cli.h"

#include <charconv>
#include <cstdio>
#include <ostream>

#include "base/WinApp.h"
#include "program/Program.h"

std::string CliUsage() {
  return "Usage: revscope-cli COMMAND [ARGUMENTS]\n"
         "\n"
         "Commands:\n"
         "  vars\n"
         "      Print the variable catalogue in list order, one tab-separated line per variable,\n"
         "      with the settings of Revscope.ini applied:\n"
         "        raw<TAB>id<TAB>name<TAB>request code<TAB>rate<TAB>read mode<TAB>poll enabled<TAB>supported\n"
         "        display<TAB>id<TAB>name<TAB>source id<TAB>unit code<TAB>unit text\n"
         "  info FILE.rec\n"
         "      Print a recording's description, length, ECU model and family and its histories.\n"
         "  export FILE.rec --sensor ID|NAME [--sensor ID|NAME ...] [--out DIR]\n"
         "      Write one tab-delimited .tdf file per chosen sensor, named <Description>-<Name>.tdf,\n"
         "      into DIR (default: the current folder).\n"
         "  export FILE.rec --csv [--sensor ID|NAME ...] [--rate HZ | --every-sample] [--age]\n"
         "                 [--from S] [--to S] [--out FILE.csv | --out DIR | --out -]\n"
         "      Write the sensors (default: every sensor the recording holds samples for) as one\n"
         "      CSV table: a row every 1/HZ seconds (default 20 a second) or at every sample time,\n"
         "      from S to S seconds (default: the whole recording), each value the sensor's latest\n"
         "      sample at or before the row; --age adds each value's age in milliseconds. The file\n"
         "      is <Description>.csv in the current folder or DIR unless named; '-' is standard output.\n"
         "  laps FILE.rec\n"
         "      Print the laps: Lap,Start (s),Time (s),Delta (s), the delta to the fastest lap.\n"
         "  log --port PORT --out FILE.rec [--seconds N] [--preset all|performance|mixture]\n"
         "      Connect to the ECU on PORT (COM1..COM8, a device path, or sim for the built-in\n"
         "      simulated ECU), record until N seconds (a plain decimal number) have passed or\n"
         "      SIGINT, SIGTERM, SIGHUP or SIGPIPE arrives, then save FILE.rec. A progress line goes\n"
         "      to standard error once a second. While it records, the samples go to a journal in\n"
         "      $XDG_STATE_HOME/Revscope about once a second; it is removed once FILE.rec is saved.\n"
         "  recover [JOURNAL] --out FILE.rec\n"
         "      Save the recording a journal holds (one left by a run that ended before it was\n"
         "      saved; the newest when JOURNAL is not given) as FILE.rec, then remove the journal.\n"
         "      A damaged journal gives what can be read, says where the damage is and stays.\n"
         "  recover --list\n"
         "      List the journals: path, start time, length, samples, description and whether a\n"
         "      running program still writes it.\n"
         "  simulate [--model N]\n"
         "      Serve a simulated ECU on a new pseudo-terminal whose path is printed first;\n"
         "      runs until interrupted. The model byte defaults to 2 (OBD1).\n"
         "  table FILE.rec --x NAME --y NAME --z NAME --x-edges EDGES --y-edges EDGES\n"
         "        [--stat mean|min|max|count] [--where \"NAME OP VALUE\" ...] [--max-age MS]\n"
         "        [--min-count N] [--out FILE.csv | --out -]\n"
         "      Print a table of Z by X across and Y down as CSV (to standard output unless --out\n"
         "      names a file). Every sample of Z is one observation; X, Y and the --where sensors\n"
         "      take their latest sample at or before it, at most --max-age ms old (250). EDGES is\n"
         "      START:END:STEP or E0,E1,...; OP is < <= > >= = or !=. Cells with fewer than\n"
         "      --min-count observations (1) stay empty. A summary goes to standard error.\n"
         "  gears FILE.rec\n"
         "      Print the gear ratios learned from the recording's steady driving as\n"
         "      Gear,Ratio,Samples lines, using the final drive and tyre circumference set.\n"
         "\n"
         "Options:\n"
         "  -h, --help    Show this text.\n"
         "  --version     Show the version.\n"
         "  Every option takes its value as --name VALUE or --name=VALUE.\n"
         "\n"
         "Exit status: 0 success, 1 failure, 2 usage error.\n"
         "\n"
         "Settings are read, never written, from Revscope.ini beside the program when it is there\n"
         "and writable (or, for a program that is not installed, when its folder is writable),\n"
         "otherwise from $XDG_CONFIG_HOME/Revscope/Revscope.ini, and from the per-machine\n"
         "$XDG_CONFIG_HOME/Torvane/Settings.ini ($XDG_CONFIG_HOME defaults to ~/.config).\n"
         "See revscope-cli(1).\n";
}

std::optional<std::string> CliOptionValue(const TArgs& args, size_t& i, const std::string& name, bool& missing) {
  const std::string& a = args[i];
  if (a == name) {
    if (i + 1 >= args.size()) {
      missing = true;
      return std::nullopt;
    }
    return args[++i];
  }
  if (a.compare(0, name.size() + 1, name + "=") == 0) return a.substr(name.size() + 1);
  return std::nullopt;
}

int CliOneFile(const TArgs& args, const std::string& command, std::ostream& err) {
  if (args.empty()) return CliUsageError(err, "'" + command + "' needs a recording file");
  if (args[0].size() > 1 && args[0][0] == '-') return CliUsageError(err, "unknown option '" + args[0] + "'");
  if (args.size() > 1) return CliUsageError(err, "'" + command + "' takes one recording file (got '" + args[1] + "')");
  return 0;
}

int CliFileArgument(const TArgs& args, size_t i, bool missing, const std::string& command,
                    std::optional<std::string>& path, std::ostream& err) {
  if (missing) return CliUsageError(err, "'" + args[i] + "' needs a value");
  if (args[i].size() > 1 && args[i][0] == '-') return CliUsageError(err, "unknown option '" + args[i] + "'");
  if (path) return CliUsageError(err, "'" + command + "' takes one recording file (got '" + args[i] + "')");
  path = args[i];
  return 0;
}

bool ParseDecimal(const std::string& text, double& value) {
  size_t digits = 0, dots = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9')
      ++digits;
    else if (c == '.')
      ++dots;
    else
      return false;
  }
  if (digits == 0 || dots > 1) return false;
  return std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed).ec == std::errc();
}

std::string EscapeControl(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c != 0x7F) {
      out += static_cast<char>(c);
      continue;
    }
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02x", c);
        out += buf;
      }
    }
  }
  return out;
}

int CliUsageError(std::ostream& err, const std::string& message) {
  err << "revscope-cli: " << message << "\n"
      << "Try 'revscope-cli --help' for more information.\n";
  return 2;
}

int CliMain(const TArgs& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return CliUsageError(err, "missing command");
  const std::string& cmd = args[0];
  TArgs rest(args.begin() + 1, args.end());
  if (cmd == "-h" || cmd == "--help" || cmd == "help") {
    out << CliUsage();
    return 0;
  }
  if (cmd == "--version") {
    out << VersionBanner("revscope-cli");
    return 0;
  }
  for (const std::string& a : rest)
    if (a == "-h" || a == "--help") {
      out << CliUsage();
      return 0;
    }
  if (cmd == "simulate") return CliSimulate(rest, out, err);
  using TCommand = int (*)(TProgram&, const TArgs&, std::ostream&, std::ostream&);
  static const std::pair<const char*, TCommand> commands[] = {
      {"vars", CliVars}, {"info", CliInfo}, {"export", CliExport}, {"log", CliLog}, {"recover", CliRecover},
      {"laps", CliLaps}, {"table", CliTable}, {"gears", CliGears}};
  for (const auto& [name, command] : commands) {
    if (cmd != name) continue;
    TProgramOptions options;
    options.StartThreads = false;
    options.ShowError = [&err](const std::string& text) { err << "revscope-cli: " << text << "\n"; };
    TProgram program({}, options);
    return command(program, rest, out, err);
  }
  return CliUsageError(err, "unknown command '" + cmd + "'");
}

int CliVars(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) return CliUsageError(err, "'vars' takes no arguments (got '" + args[0] + "')");
  const TSensorList& sensors = program.Sensors;
  for (int i = 0; i < sensors.RawVars->Count(); ++i) {
    const TRawVar* v = sensors.Raw(i);
    out << "raw\t" << v->Id.load() << '\t' << v->Name << '\t' << v->RequestCode.load() << '\t' << v->RateHz.load()
        << '\t' << int(v->ReadMode) << '\t' << (v->PollEnabled ? 1 : 0) << '\t' << (v->Supported ? 1 : 0) << '\n';
  }
  for (int i = 0; i < sensors.DisplayVars->Count(); ++i) {
    const TDisplayVar* v = sensors.Display(i);
    out << "display\t" << v->Id.load() << '\t' << v->Name << '\t' << v->SourceId.load() << '\t' << int(v->Unit) << '\t'
        << UnitText(v->Unit, program.Config) << '\n';
  }
  return 0;
}
