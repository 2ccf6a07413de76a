// One main for every benchmark file: the Google Benchmark runs, then each
// file's summary lines.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/summary.h"

namespace {
std::vector<BenchSummary>& Summaries() {
    static std::vector<BenchSummary> summaries;
    return summaries;
}
}  // namespace

int RegisterBenchSummary(BenchSummary summary) {
    Summaries().push_back(summary);
    return 0;
}

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (BenchSummary summary : Summaries()) summary();
    return 0;
}
