// revscope-cli log and simulate.
#include <ostream>

#include "app/Cli.h"

int CliLog(const TArgs&, std::ostream&, std::ostream& err) {
  err << "revscope-cli: 'log' is not available yet\n";
  return 1;
}

int CliSimulate(const TArgs&, std::ostream&, std::ostream& err) {
  err << "revscope-cli: 'simulate' is not available yet\n";
  return 1;
}
