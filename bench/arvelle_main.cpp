// The one main of arvelle_bench: every bench/arvelle_*.cpp only registers
// benchmarks. Widget benchmarks need a QApplication (fonts, GL contexts), so
// it lives for the whole run; GL ones need an X server (xvfb-run -a).
#include <QApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
  // Qt takes its own options (-platform, ...) first.
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
