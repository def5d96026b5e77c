// A benchmark row that fails (SkipWithError) makes its program exit
// non-zero, so that ./scripts/bench fails with it: the library itself only
// prints the error and exits 0.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

class FailureCountingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.error_occurred) mFailed.push_back(run.benchmark_name() + ": " + run.error_message);
    ConsoleReporter::ReportRuns(runs);
  }
  // The rows that failed, named on standard error; their count.
  int failures() const {
    for (const std::string& row : mFailed) std::fprintf(stderr, "failed: %s\n", row.c_str());
    return static_cast<int>(mFailed.size());
  }

 private:
  std::vector<std::string> mFailed;
};

// Runs the rows the flags select; the program's exit code: 1 when a row failed.
inline int RunBenchmarksFailingOnErrors() {
  FailureCountingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return reporter.failures() > 0 ? 1 : 0;
}

#define TARNIVEX_BENCHMARK_MAIN()                                           \
  int main(int argc, char** argv) {                                         \
    benchmark::Initialize(&argc, argv);                                     \
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;       \
    const int result = RunBenchmarksFailingOnErrors();                      \
    benchmark::Shutdown();                                                  \
    return result;                                                          \
  }
