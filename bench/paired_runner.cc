#include "bench/paired_runner.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>

namespace nuv_bench {
namespace {

// What one run measured: per-iteration times in nanoseconds and the
// counters.
struct RunResult {
  double real_ns = 0;
  double cpu_ns = 0;
  std::map<std::string, double> counters;
  bool failed = false;
  std::string error;
};

// Google Benchmark's console output goes to standard error (for whoever
// watches); the runs are kept by name for the pairing.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  CollectingReporter() {
    SetOutputStream(&std::cerr);
    SetErrorStream(&std::cerr);
  }

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration)
        continue;
      RunResult result;
      const double iterations = run.iterations > 0 ? static_cast<double>(run.iterations) : 1.0;
      result.real_ns = run.real_accumulated_time / iterations * 1e9;
      result.cpu_ns = run.cpu_accumulated_time / iterations * 1e9;
      for (const auto& counter : run.counters)
        result.counters[counter.first] = counter.second.value;
      result.failed = run.error_occurred;
      result.error = run.error_message;
      results[run.run_name.function_name] = result;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  std::map<std::string, RunResult> results;
};

double Median(std::vector<double> values) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string RunName(const std::string& label, bool floor, int pair) {
  return (floor ? "floor: " : "") + label + " #" + std::to_string(pair);
}

bool RawMeasureOf(const PairedFigure& figure, const RunResult& run, double* value) {
  switch (figure.metric) {
    case Metric::kRealTime:
      *value = run.real_ns * figure.unit_scale;
      return true;
    case Metric::kCpuTime:
      *value = run.cpu_ns * figure.unit_scale;
      return true;
    case Metric::kCounter: {
      auto it = run.counters.find(figure.counter);
      if (it == run.counters.end())
        return false;
      *value = it->second * figure.unit_scale;
      return true;
    }
  }
  return false;
}

bool MeasureOf(const PairedFigure& figure, const RunResult& run, bool floor, double* value) {
  if (!RawMeasureOf(figure, run, value))
    return false;
  *value /= floor ? figure.floor_per : figure.figure_per;
  return true;
}

void Register(const PairedFigure& figure, bool floor, int pair) {
  const BenchmarkBody body = floor ? figure.floor : figure.figure;
  benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(
      RunName(figure.label, floor, pair).c_str(), [body](benchmark::State& state) { body(state); });
  b->Unit(benchmark::kMicrosecond);
  if (figure.iterations > 0)
    b->Iterations(figure.iterations);
  else
    b->MinTime(figure.min_time_s);
  if (figure.metric != Metric::kCpuTime)
    b->UseRealTime();
}

std::string Clean(std::string text) {
  std::replace(text.begin(), text.end(), '|', '/');
  return text;
}

}  // namespace

double NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double LatencySamples::Quantile(double q) {
  if (samples_.empty())
    return 0;
  const size_t index =
      std::min(samples_.size() - 1, static_cast<size_t>(q * static_cast<double>(samples_.size())));
  std::nth_element(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(index),
                   samples_.end());
  return samples_[index];
}

void LatencySamples::Report(benchmark::State& state, int per_sample) {
  state.counters["p50_ns"] = Quantile(0.50) / per_sample;
  state.counters["p99_ns"] = Quantile(0.99) / per_sample;
}

int PairsFromCommandLine(int* argc, char** argv, int fallback) {
  int pairs = fallback;
  if (const char* env = std::getenv("NUV_BENCH_PAIRS"))
    pairs = std::atoi(env);
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    if (std::strncmp(argv[i], "--pairs=", 8) == 0)
      pairs = std::atoi(argv[i] + 8);
    else
      argv[kept++] = argv[i];
  }
  *argc = kept;
  return std::max(1, pairs);
}

bool RunPairedFigures(const std::vector<PairedFigure>& figures, int pairs) {
  for (int pair = 0; pair < pairs; ++pair) {
    for (const PairedFigure& figure : figures) {
      if (figure.max_pairs > 0 && pair >= figure.max_pairs)
        continue;
      Register(figure, false, pair);
      Register(figure, true, pair);
    }
  }
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  bool all_ran = true;
  for (const PairedFigure& figure : figures) {
    std::vector<double> measured, floors, ratios, notes;
    std::string error;
    for (int pair = 0; pair < pairs; ++pair) {
      auto a = reporter.results.find(RunName(figure.label, false, pair));
      auto b = reporter.results.find(RunName(figure.label, true, pair));
      if (a == reporter.results.end() || b == reporter.results.end())
        continue;  // filtered out on the command line
      if (a->second.failed || b->second.failed) {
        error = a->second.failed ? a->second.error : b->second.error;
        continue;
      }
      double m = 0, f = 0;
      if (!MeasureOf(figure, a->second, false, &m) || !MeasureOf(figure, b->second, true, &f) ||
          m <= 0 || f <= 0)
        continue;
      measured.push_back(m);
      auto note = a->second.counters.find(figure.note_counter);
      if (note != a->second.counters.end())
        notes.push_back(note->second);
      floors.push_back(f);
      ratios.push_back(figure.higher_is_better ? f / m : m / f);
    }
    if (ratios.empty()) {
      if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", figure.label.c_str(), error.c_str());
        all_ran = false;
      }
      continue;
    }
    const double m = Median(measured);
    const double ratio = Median(ratios);
    bool met = true;
    if (figure.max_ratio > 0 && ratio > figure.max_ratio)
      met = false;
    if (figure.min_value > 0 && m < figure.min_value)
      met = false;
    const bool has_target = figure.max_ratio > 0 || figure.min_value > 0;
    std::string note;
    if (!notes.empty())
      note = " (" + figure.note_counter + " " +
             std::to_string(static_cast<long long>(Median(notes))) + ")";
    std::printf("ROW|%s|%s|%.4g %s%s|%.4g %s|%.2f|%s|%s|%zu\n", Clean(figure.label).c_str(),
                Clean(figure.target).c_str(), m, figure.unit.c_str(), note.c_str(), Median(floors),
                figure.unit.c_str(), ratio, has_target ? (met ? "met" : "MISSED") : "-",
                Clean(figure.floor_label).c_str(), ratios.size());
  }
  std::fflush(stdout);
  return all_ran;
}

}  // namespace nuv_bench
