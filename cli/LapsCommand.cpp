// revscope-cli laps: the lap times of a recording.
#include <ostream>

#include "analysis/Laps.h"
#include "cli/Cli.h"
#include "program/Program.h"

int CliLaps(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return CliUsageError(err, "'laps' needs a recording file");
  if (args[0].size() > 1 && args[0][0] == '-') return CliUsageError(err, "unknown option '" + args[0] + "'");
  if (args.size() > 1) return CliUsageError(err, "'laps' takes one recording file (got '" + args[1] + "')");
  std::unique_ptr<TRecording> rec = LoadForCli(program, args[0], err);
  if (!rec) return 1;
  const std::vector<TLap> laps = RecordingLaps(*rec);
  out << LapTable(laps);
  if (laps.empty()) err << "revscope-cli: '" << args[0] << "' holds no lap signals\n";
  return 0;
}
