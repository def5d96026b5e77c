// A benchmark row that fails (SkipWithError) makes its program exit
// non-zero, so that ./scripts/bench fails with it: the library itself only
// prints the error and exits 0.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Reports as Base does, and keeps the rows that failed.
template <class Base>
class FailureCounting : public Base {
 public:
  using Run = benchmark::BenchmarkReporter::Run;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.error_occurred) mFailed.push_back(run.benchmark_name() + ": " + run.error_message);
    Base::ReportRuns(runs);
  }
  // The rows that failed, named on standard error; their count.
  int failures() const {
    for (const std::string& row : mFailed) std::fprintf(stderr, "failed: %s\n", row.c_str());
    return static_cast<int>(mFailed.size());
  }

 private:
  std::vector<std::string> mFailed;
};
using FailureCountingReporter = FailureCounting<benchmark::ConsoleReporter>;

// The output format the command line asks for ("console" unless told).
inline std::string& BenchmarkFormat() {
  static std::string format = "console";
  return format;
}

// benchmark::Initialize, the output format noted first (Initialize takes the
// flags out of argv).
inline void InitializeBenchmarks(int* argc, char** argv) {
  const std::string flag = "--benchmark_format=";
  for (int i = 1; i < *argc; ++i)
    if (std::string(argv[i]).rfind(flag, 0) == 0) BenchmarkFormat() = std::string(argv[i]).substr(flag.size());
  benchmark::Initialize(argc, argv);
}

// Runs the rows the flags select; the program's exit code: 1 when a row failed.
inline int RunBenchmarksFailingOnErrors() {
  const auto run = [](auto& reporter) {
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return reporter.failures() > 0 ? 1 : 0;
  };
  if (BenchmarkFormat() == "json") {
    FailureCounting<benchmark::JSONReporter> reporter;
    return run(reporter);
  }
  FailureCountingReporter reporter;
  return run(reporter);
}

#define TARNIVEX_BENCHMARK_MAIN()                                     \
  int main(int argc, char** argv) {                                   \
    InitializeBenchmarks(&argc, argv);                                \
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1; \
    const int result = RunBenchmarksFailingOnErrors();                \
    benchmark::Shutdown();                                            \
    return result;                                                    \
  }
