// revscope-cli info and export.
#include <ostream>

#include "app/Cli.h"

int CliInfo(const TArgs&, std::ostream&, std::ostream& err) {
  err << "revscope-cli: 'info' is not available yet\n";
  return 1;
}

int CliExport(const TArgs&, std::ostream&, std::ostream& err) {
  err << "revscope-cli: 'export' is not available yet\n";
  return 1;
}
