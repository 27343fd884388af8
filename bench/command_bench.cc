// The command channel's figures through the real nuv_subprocess and the
// runtime's IPC, each beside its floor in the same run:
//  - "NuvChromeBrowser_ExecuteFunction" calls answered per second, back to
//    back and with 16 outstanding, against one-byte ping-pongs over a socket
//    pair between two processes; with the render process's CPU time per
//    call;
//  - the round trip of one such call (p50) against one ping-pong;
//  - spawn to the first "NuvChromeBrowser_ContextCreated" against a bare V8
//    start (platform, isolate, context) built from the same libnode.
#include <benchmark/benchmark.h>
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/paired_runner.h"
#include "bench/socket_echo.h"
#include "host/browser/render_process.h"
#include "host/window/host_window.h"

extern char** environ;

namespace {

using cefipc::WireList;
using cefipc::WireValue;
using nuv::host::ProcessMessage;
using nuv::host::RenderProcess;

constexpr int kBrowser = 1;
constexpr int kTimeoutMs = 20000;
constexpr int kOutstanding = 16;

constexpr char16_t kPage[] = u"function add(a, b) { return a + b; }";
const char16_t kArguments[] =
    u"[{\"browserId\":1,\"value\":1,\"valueType\":\"NuvValueInt\"},"
    u"{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}]\n";
const char16_t kResultName[] = u"NuvChromeBrowser_ExecuteFunction_Result";

nuv_bench::SocketEcho* g_echo = nullptr;
nuv::host::HostWindow* g_host = nullptr;

std::string BinDir() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0)
    return ".";
  const std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

std::unique_ptr<RenderProcess> StartRenderer() {
  nuv::host::RenderProcessOptions options;
  options.executable = BinDir() + "/nuv_subprocess";
  options.switches = {"--browser-message-window-handle=" + std::to_string(g_host->handle())};
  std::string error;
  std::unique_ptr<RenderProcess> process = RenderProcess::Start(options, &error);
  if (!process)
    std::fprintf(stderr, "nuv_subprocess did not start: %s\n", error.c_str());
  return process;
}

// Starts a render process with one browser and a page; true once its
// "NuvChromeBrowser_ContextCreated" has arrived.
bool OpenPage(RenderProcess* process) {
  ProcessMessage created;
  return process->WaitForHello(kTimeoutMs) && process->CreateBrowser(kBrowser) &&
         process->CreateContext(kBrowser, 1, true, u"", kPage) &&
         process->WaitForMessageNamed(u"NuvChromeBrowser_ContextCreated", kTimeoutMs, &created);
}

RenderProcess* TheRenderer() {
  static RenderProcess* process = [] {
    std::unique_ptr<RenderProcess> started = StartRenderer();
    if (!started || !OpenPage(started.get()))
      return static_cast<RenderProcess*>(nullptr);
    return started.release();
  }();
  return process;
}

bool SendCall(RenderProcess* process) {
  const WireList args = {WireValue::Int(0), WireValue::String(u"add"), WireValue::String(u"tag"),
                         WireValue::String(kArguments)};
  return process->SendProcessMessage(kBrowser, u"NuvChromeBrowser_ExecuteFunction", args) != 0;
}

bool TakeResult(RenderProcess* process) {
  ProcessMessage result;
  return process->WaitForMessage(kTimeoutMs, &result) && result.name == kResultName;
}

// Nanoseconds the render process's main (render) thread has run.
double RenderCpuNs(int pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/schedstat";
  FILE* file = std::fopen(path.c_str(), "r");
  if (!file)
    return 0;
  unsigned long long ns = 0;
  if (std::fscanf(file, "%llu", &ns) != 1)
    ns = 0;
  std::fclose(file);
  return static_cast<double>(ns);
}

// Calls answered, keeping `outstanding` calls in flight.
void ExecuteFunction(benchmark::State& state, int outstanding) {
  RenderProcess* process = TheRenderer();
  if (!process) {
    state.SkipWithError("no render process");
    return;
  }
  for (int i = 1; i < outstanding; ++i)
    SendCall(process);
  nuv_bench::LatencySamples samples;
  const double cpu_before = RenderCpuNs(process->pid());
  const double start = nuv_bench::NowNs();
  for (auto _ : state) {
    const double sent = nuv_bench::NowNs();
    if (!SendCall(process) || !TakeResult(process)) {
      state.SkipWithError("a call was not answered");
      return;
    }
    samples.Add(nuv_bench::NowNs() - sent);
  }
  const double elapsed = nuv_bench::NowNs() - start;
  const double cpu = RenderCpuNs(process->pid()) - cpu_before;
  for (int i = 1; i < outstanding; ++i)
    TakeResult(process);
  const double calls = static_cast<double>(state.iterations());
  state.counters["calls_per_s"] = calls / (elapsed * 1e-9);
  state.counters["render_cpu_ns"] = cpu / calls;
  samples.Report(state);
}

// One-byte ping-pongs between two processes.
void PingPong(benchmark::State& state) {
  nuv_bench::LatencySamples samples;
  const double start = nuv_bench::NowNs();
  for (auto _ : state) {
    const double sent = nuv_bench::NowNs();
    if (!g_echo->RoundTrip()) {
      state.SkipWithError("the echo process is gone");
      return;
    }
    samples.Add(nuv_bench::NowNs() - sent);
  }
  const double elapsed = nuv_bench::NowNs() - start;
  state.counters["calls_per_s"] = static_cast<double>(state.iterations()) / (elapsed * 1e-9);
  samples.Report(state);
}

// Spawn of nuv_subprocess to its first "NuvChromeBrowser_ContextCreated".
void SpawnToContext(benchmark::State& state) {
  nuv_bench::LatencySamples samples;
  for (auto _ : state) {
    const double start = nuv_bench::NowNs();
    std::unique_ptr<RenderProcess> process = StartRenderer();
    if (!process || !OpenPage(process.get())) {
      state.SkipWithError("the render process did not report its context");
      return;
    }
    samples.Add(nuv_bench::NowNs() - start);
    process->End(kTimeoutMs);
  }
  samples.Report(state);
}

// Spawn of the bare V8 program to its byte.
void BareV8Start(benchmark::State& state) {
  const std::string program = BinDir() + "/nuv_bare_v8_start";
  nuv_bench::LatencySamples samples;
  for (auto _ : state) {
    int out[2];
    if (pipe(out) != 0) {
      state.SkipWithError("no pipe");
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    const double start = nuv_bench::NowNs();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char byte = 0;
    const bool ready = spawned == 0 && read(out[0], &byte, 1) == 1;
    const double end = nuv_bench::NowNs();
    close(out[0]);
    int status = 0;
    if (spawned == 0)
      waitpid(pid, &status, 0);
    if (!ready) {
      state.SkipWithError("the bare V8 program did not start");
      return;
    }
    samples.Add(end - start);
  }
  samples.Report(state);
}

nuv_bench::PairedFigure Figure(const std::string& label,
                               const std::string& target,
                               const std::string& floor_label,
                               nuv_bench::BenchmarkBody figure,
                               nuv_bench::BenchmarkBody floor,
                               const std::string& counter) {
  nuv_bench::PairedFigure f;
  f.label = label;
  f.target = target;
  f.floor_label = floor_label;
  f.figure = std::move(figure);
  f.floor = std::move(floor);
  f.metric = nuv_bench::Metric::kCounter;
  f.counter = counter;
  f.unit = "us";
  f.min_time_s = 0.3;
  return f;
}

std::vector<nuv_bench::PairedFigure> Figures() {
  std::vector<nuv_bench::PairedFigure> figures;
  const std::string ping = "one-byte socket-pair ping-pong between two processes";
  for (int outstanding : {kOutstanding, 1}) {
    auto f = Figure(
        outstanding == 1 ? "ExecuteFunction calls per second, back to back"
                         : "ExecuteFunction calls per second, 16 outstanding",
        ">= 25,000/s", ping,
        [outstanding](benchmark::State& s) { ExecuteFunction(s, outstanding); }, PingPong,
        "calls_per_s");
    f.unit = "/s";
    f.unit_scale = 1;
    f.higher_is_better = true;
    f.min_value = 25000;
    f.note_counter = "render_cpu_ns";
    figures.push_back(f);
  }
  auto round_trip = Figure(
      "ExecuteFunction round trip, p50", "<= 2.5x floor", ping,
      [](benchmark::State& s) { ExecuteFunction(s, 1); }, PingPong, "p50_ns");
  round_trip.max_ratio = 2.5;
  figures.push_back(round_trip);

  auto spawn = Figure("spawn to first ContextCreated, p50", "recorded",
                      "bare V8 start (isolate + context), same libnode", SpawnToContext,
                      BareV8Start, "p50_ns");
  spawn.unit = "ms";
  spawn.unit_scale = 1e-6;
  spawn.iterations = 5;
  figures.push_back(spawn);
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  const int pairs = nuv_bench::PairsFromCommandLine(&argc, argv, 7);
  nuv_bench::SocketEcho echo;
  if (!echo.Start()) {
    std::fprintf(stderr, "the echo process did not start\n");
    return 2;
  }
  g_echo = &echo;
  nuv::host::HostWindow host;
  host.SetLogHandler([](const std::string&) {});
  if (!host.Start()) {
    std::fprintf(stderr, "the host window did not start\n");
    return 2;
  }
  g_host = &host;
  benchmark::Initialize(&argc, argv);
  const bool ok = nuv_bench::RunPairedFigures(Figures(), pairs);
  benchmark::Shutdown();
  if (RenderProcess* process = TheRenderer())
    process->End(kTimeoutMs);
  host.Stop();
  echo.Stop();
  std::fflush(stdout);
  std::_Exit(ok ? 0 : 1);
}
