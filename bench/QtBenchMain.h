#pragma once
// The main of a benchmark that draws with Qt: an application on the offscreen platform (unless
// another is set), numbers with '.' as in the program, the benchmarks, then the summary.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <clocale>

inline int RunQtBenchmarks(int argc, char** argv, void (*summary)() = nullptr) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (summary) summary();
  return 0;
}
