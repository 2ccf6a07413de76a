// Lines a benchmark file prints after the Google Benchmark runs, such as
// "extract_vs_md5_ratio: 1.31": the numbers the project's goals name.
#pragma once

using BenchSummary = void (*)();
int RegisterBenchSummary(BenchSummary summary);

#define BENCH_SUMMARY(function) static const int function##_registered = RegisterBenchSummary(function)
