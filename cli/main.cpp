#include <clocale>
#include <csignal>
#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  // A file grown beyond the size limit fails its write (and says so) instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  TArgs args(argv + 1, argv + argc);
  try {
    return CliMain(args, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "revscope-cli: " << e.what() << "\n";
    return 1;
  }
}
