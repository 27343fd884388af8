// Runs each figure beside its floor in the same process, alternating: the
// figure's run i, then the floor's run i, for every pair. A figure's ratio
// is the median of the ratios of its pairs, not the ratio of the fastest
// runs, so that a burst of load on a shared machine slows both sides of a
// pair and leaves its ratio alone. Prints one row per figure for
// scripts/run-benchmarks.sh to put into the table.
#ifndef NUV_BENCH_PAIRED_RUNNER_H_
#define NUV_BENCH_PAIRED_RUNNER_H_

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

namespace nuv_bench {

// What a figure reads from its runs and its floor's runs.
enum class Metric {
  kRealTime,  // wall-clock time per iteration
  kCpuTime,   // CPU time of the benchmark thread per iteration
  kCounter,   // the user counter named in PairedFigure::counter
};

using BenchmarkBody = std::function<void(benchmark::State&)>;

struct PairedFigure {
  std::string label;   // "host property read from page script, p50"
  std::string target;  // what the target says, as text ("<= 1.5x floor")
  std::string floor_label;
  BenchmarkBody figure;
  BenchmarkBody floor;
  Metric metric = Metric::kRealTime;
  std::string counter;  // kCounter: the counter; other metrics: unused
  std::string unit;     // unit of the printed values ("us", "ms", "calls/s")
  double unit_scale = 1e-3;
  // Each measure is divided by these first (per-value figures).
  double figure_per = 1;
  double floor_per = 1;  // printed value = measured nanoseconds (or counter) * scale
  // Met when the median ratio is at most max_ratio (0: no ratio target), and
  // the median measure at least min_value (0: no absolute target).
  double max_ratio = 0;
  double min_value = 0;
  // Rate figures (higher is better): the ratio is floor / figure.
  bool higher_is_better = false;
  double min_time_s = 0.2;
  int iterations = 0;  // fixed iterations per run (0: Google Benchmark decides)
  // Pairs of this figure at most (0: as many as asked), for slow figures.
  int max_pairs = 0;
  // A counter of the figure's runs shown beside the measure (its median).
  std::string note_counter;
};

// Registers `pairs` alternating runs of every figure and its floor, runs
// them, and prints one line per figure:
//   ROW|label|target|measured|floor|ratio|met|floor label|pairs
// Figures sharing a floor body still run it for themselves. Returns false
// when a run failed (its error is printed).
bool RunPairedFigures(const std::vector<PairedFigure>& figures, int pairs);

// The number of pairs from "--pairs=N" among argv (removed from it), else
// NUV_BENCH_PAIRS, else `fallback`.
int PairsFromCommandLine(int* argc, char** argv, int fallback);

// Per-iteration latencies, for percentiles.
class LatencySamples {
 public:
  void Reserve(size_t n) { samples_.reserve(n); }
  void Add(double ns) { samples_.push_back(ns); }
  // The q-quantile (0..1) of the samples, in nanoseconds; 0 when empty.
  double Quantile(double q);
  // Puts p50 and p99 (in nanoseconds) into the state's counters, divided by
  // `per_sample` operations (each sample timing that many).
  void Report(benchmark::State& state, int per_sample = 1);

 private:
  std::vector<double> samples_;
};

// Monotonic clock in nanoseconds.
double NowNs();

}  // namespace nuv_bench

#endif  // NUV_BENCH_PAIRED_RUNNER_H_
