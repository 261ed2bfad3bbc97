// revscope-cli laps: the lap times of a recording.
#include <ostream>

#include "analysis/Laps.h"
#include "cli/Cli.h"
#include "program/Program.h"

int CliLaps(TProgram& program, const TArgs& args, std::ostream& out, std::ostream& err) {
  if (int rc = CliOneFile(args, "laps", err)) return rc;
  std::unique_ptr<TRecording> rec = LoadForCli(program, args[0], err);
  if (!rec) return 1;
  const std::vector<TLap> laps = RecordingLaps(*rec);
  out << LapTable(laps);
  if (laps.empty()) err << "revscope-cli: '" << args[0] << "' holds no lap signals\n";
  return 0;
}
