// The bridge's figures, each beside its floor in the same run:
//  - a host property read from page script, through the whole bridge to the
//    client's host window in a second process, per read (p50 and p99 of
//    single reads; the mean of 32 and of 1024 reads in one script call),
//    against two round trips of one byte over a socket pair between two
//    processes (the least any exchange of a request and a nested reply
//    can cost);
//  - the message-window exchange alone (the two copy-data messages of one
//    read, nothing else done) against the same floor: the transport's own
//    overhead;
//  - resident bytes per live host object proxy at 100,000 proxies, with how
//    many of them were released to the client once the page dropped them,
//    against as many plain page objects of the same shape.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_runtime.h"
#include "bench/paired_runner.h"
#include "bench/socket_echo.h"
#include "cef/runtime/task_queue.h"
#include "platform/message_window.h"
#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/helper_window.h"
#include "src/values/json_to_v8.h"
#include "tests/bridge/host_process.h"

namespace {

constexpr int kBrowser = 1;
constexpr int kProxyBrowser = 2;
constexpr int kProxies = 100000;

nuv_test::HostProcess* g_host = nullptr;
nuv_bench::SocketEcho* g_echo = nullptr;

constexpr char kPage[] =
    "function readTitles(n) { var t; for (var i = 0; i < n; ++i) t = doc.title; return t; }";

struct Page {
  CefRefPtr<CefV8Context> context;
  CefRefPtr<CefV8Value> readTitles;
};

Page& ThePage() {
  static Page* page = [] {
    Page* made = new Page;
    made->context = nuv_bench::OpenPage(kBrowser, kPage);
    made->context->Enter();
    for (const auto& entry : RequestNamedObjects(g_host->host_window(), made->context, kBrowser))
      made->context->GetGlobal()->SetValue(CefString(entry.first), entry.second,
                                           V8_PROPERTY_ATTRIBUTE_NONE);
    made->readTitles = nuv_bench::Eval(made->context, "readTitles");
    return made;
  }();
  return *page;
}

// `reads` property reads in one script call per iteration; each iteration
// timed, per read.
// The host process ends when it has heard nothing on its command pipe for
// 30 seconds; a question now and then keeps it.
void KeepHostAlive() {
  g_host->Releases(0);
}

void PropertyReads(benchmark::State& state, int reads) {
  KeepHostAlive();
  Page& page = ThePage();
  const CefV8ValueList arguments = {CefV8Value::CreateInt(reads)};
  nuv_bench::LatencySamples samples;
  for (auto _ : state) {
    const double start = nuv_bench::NowNs();
    CefRefPtr<CefV8Value> title =
        page.readTitles->ExecuteFunctionWithContext(page.context, nullptr, arguments);
    samples.Add(nuv_bench::NowNs() - start);
    if (!title || !title->IsString()) {
      state.SkipWithError("the property read gave no text");
      break;
    }
  }
  samples.Report(state, reads);
  state.SetItemsProcessed(state.iterations() * reads);
}

// Two one-byte round trips between two processes per iteration.
void TwoRoundTrips(benchmark::State& state) {
  nuv_bench::LatencySamples samples;
  for (auto _ : state) {
    const double start = nuv_bench::NowNs();
    if (!g_echo->RoundTrip() || !g_echo->RoundTrip()) {
      state.SkipWithError("the echo process is gone");
      break;
    }
    samples.Add(nuv_bench::NowNs() - start);
  }
  samples.Report(state);
}

// Receives the echo window's replies.
class ReplySink : public nuv::platform::MessageWindowDelegate {
 public:
  bool ProcessWindowMessage(nuv::platform::WindowHandle,
                            uint32_t message,
                            uintptr_t,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != nuv::platform::kWmCopyData || !lparam)
      return false;
    received += reinterpret_cast<const nuv::platform::CopyData*>(lparam)->cbData;
    *result = 0;
    return true;
  }
  uint64_t received = 0;
};

// The two raw copy-data messages of one read: the 21-byte request to an
// echo window in the second process, its nested reply to a window here.
void CopyDataExchange(benchmark::State& state) {
  KeepHostAlive();
  ReplySink sink;
  const nuv::platform::WindowHandle window = nuv::platform::CreateMessageWindow(&sink);
  const std::vector<uint8_t> packet = BuildRequestPacket(kBrowser, 5, 7, "title");
  nuv::platform::CopyData data;
  data.dwData = BRIDGE_GET_PROPERTY;
  data.cbData = static_cast<uint32_t>(packet.size());
  data.lpData = packet.data();
  nuv_bench::LatencySamples samples;
  for (auto _ : state) {
    const double start = nuv_bench::NowNs();
    nuv::platform::SendCopyData(g_host->echo_window(), window, data, nullptr);
    samples.Add(nuv_bench::NowNs() - start);
  }
  if (sink.received != static_cast<uint64_t>(state.iterations()) * packet.size())
    state.SkipWithError("not every reply arrived");
  samples.Report(state);
  nuv::platform::DestroyMessageWindow(window);
}

// Stands in for the client's host window in this process and thread: it
// only counts the releases it is told about.
class ReleaseCounter : public nuv::platform::MessageWindowDelegate {
 public:
  bool ProcessWindowMessage(nuv::platform::WindowHandle,
                            uint32_t message,
                            uintptr_t,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != nuv::platform::kWmCopyData || !lparam)
      return false;
    if (reinterpret_cast<const nuv::platform::CopyData*>(lparam)->dwData == BRIDGE_RELEASE_OBJECT)
      ++releases;
    *result = 0;
    return true;
  }
  int releases = 0;
};

// Resident bytes of this process once the C++ heap has given its free
// memory back (V8 gives back its free pages in the full collections of
// Settle), so that what the last pair freed does not hide what this one
// takes.
double ResidentBytes() {
  malloc_trim(0);
  long pages = 0, resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm)
    return 0;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
    resident = 0;
  std::fclose(statm);
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

struct ProxyPage {
  CefRefPtr<CefV8Context> context;
  CefRefPtr<CefV8Value> global;
};

ProxyPage& TheProxyPage() {
  static ProxyPage* page = [] {
    ProxyPage* made = new ProxyPage;
    made->context = nuv_bench::OpenPage(kProxyBrowser, "var kept = null;");
    made->global = made->context->GetGlobal();
    return made;
  }();
  return *page;
}

// 100,000 host object records, as the client answers them.
std::string ProxyRecords() {
  std::string text = "[";
  for (int i = 0; i < kProxies; ++i) {
    if (i)
      text += ',';
    text += "{\"browserId\":2,\"methodNames\":\"echo\",\"objectId\":" + std::to_string(1000 + i) +
            ",\"propertyNames\":\"title\\nsize\",\"value\":0,\"valueType\":\"NuvValueComObject\"}";
  }
  return text + "]\n";
}

// A full collection (its weak callbacks all run), then the render-thread
// tasks it posted (the releases of collected proxies).
void Settle() {
  nuv_bench::Runtime()->CollectGarbage();
  cefrt::RunPendingTasks();
}

// Keeps `make()`'s 100,000 objects alive in the page and answers the
// resident bytes they add per object; then drops them and lets them be
// collected. Runs in a fresh process (see LiveObjectsInChild): V8 keeps
// the heap it grew, so a second measure in one process sees nothing.
template <typename Make>
double MeasureLiveObjects(Make make) {
  ProxyPage& page = TheProxyPage();
  page.context->Enter();
  Settle();
  const double before = ResidentBytes();
  CefRefPtr<CefV8Value> objects = make(page);
  page.global->SetValue(CefString("kept"), objects ? objects : CefV8Value::CreateNull(),
                        V8_PROPERTY_ATTRIBUTE_NONE);
  objects = nullptr;
  Settle();
  const double bytes = (ResidentBytes() - before) / kProxies;
  page.global->SetValue(CefString("kept"), CefV8Value::CreateNull(), V8_PROPERTY_ATTRIBUTE_NONE);
  Settle();
  page.context->Exit();
  return bytes;
}

// The child's side: prints "<bytes per object> <releases>".
int LiveObjectsChild(bool proxies) {
  if (!nuv_bench::StartRuntime())
    return 2;
  ReleaseCounter counter;
  const nuv::platform::WindowHandle window = nuv::platform::CreateMessageWindow(&counter);
  double bytes = 0;
  if (proxies) {
    const std::string records = ProxyRecords();
    bytes = MeasureLiveObjects([&](ProxyPage& page) {
      return JsonTextToV8Value(window, page.context, kProxyBrowser, records);
    });
  } else {
    bytes = MeasureLiveObjects([](ProxyPage& page) {
      return nuv_bench::Eval(
          page.context,
          "(function() { var a = new Array(100000);"
          "  for (var i = 0; i < a.length; ++i)"
          "    a[i] = { get title() { return 'Report'; }, get size() { return 3; },"
          "             echo: function() { return i; } };"
          "  return a; })()");
    });
  }
  std::printf("%.1f %d\n", bytes, counter.releases);
  std::fflush(stdout);
  std::_Exit(0);
}

// Runs this program again as a live-objects child and reads its answer.
bool LiveObjectsInChild(bool proxies, double* bytes, int* releases) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0)
    return false;
  self[n] = 0;
  const std::string command = std::string("'") + self +
                              "' --live-objects=" + (proxies ? "proxies" : "plain") +
                              " 2>/dev/null";
  FILE* child = popen(command.c_str(), "r");
  if (!child)
    return false;
  const bool read = std::fscanf(child, "%lf %d", bytes, releases) == 2;
  return pclose(child) == 0 && read;
}

void LiveObjects(benchmark::State& state, bool proxies) {
  double bytes = 0;
  int releases = 0;
  for (auto _ : state) {
    if (!LiveObjectsInChild(proxies, &bytes, &releases)) {
      state.SkipWithError("the live-objects process failed");
      return;
    }
  }
  state.counters["bytes_per_object"] = bytes;
  if (!proxies)
    return;
  state.counters["releases"] = releases;
  if (releases != kProxies)
    state.SkipWithError("not every proxy was released");
}

void LiveProxies(benchmark::State& state) {
  LiveObjects(state, true);
}

void LivePlainObjects(benchmark::State& state) {
  LiveObjects(state, false);
}

std::vector<nuv_bench::PairedFigure> Figures() {
  using nuv_bench::Metric;
  std::vector<nuv_bench::PairedFigure> figures;
  auto read = [&](const std::string& label, int reads, const std::string& counter, double max_ratio,
                  const std::string& target) {
    nuv_bench::PairedFigure f;
    f.label = label;
    f.target = target;
    f.floor_label = "two socket-pair round trips between two processes";
    f.figure = [reads](benchmark::State& s) { PropertyReads(s, reads); };
    f.floor = TwoRoundTrips;
    f.metric = Metric::kCounter;
    f.counter = counter;
    f.unit = "us";
    f.max_ratio = max_ratio;
    f.min_time_s = 0.3;
    figures.push_back(f);
  };
  read("property read from page script, p50", 1, "p50_ns", 1.5, "<= 1.5x floor");
  read("property read from page script, p99", 1, "p99_ns", 0, "-");
  // How the cost grows with reads per script call: this thread's CPU time
  // per read (wall time of long calls mostly measures the machine's load).
  for (int reads : {1, 32, 1024}) {
    read("property read, " + std::to_string(reads) + " per script call, CPU per read", reads, "", 0,
         "-");
    figures.back().metric = Metric::kCpuTime;
    figures.back().figure_per = reads;
  }

  nuv_bench::PairedFigure copy;
  copy.label = "copy-data exchange alone (transport), p50";
  copy.target = "-";
  copy.floor_label = "two socket-pair round trips between two processes";
  copy.figure = CopyDataExchange;
  copy.floor = TwoRoundTrips;
  copy.metric = Metric::kCounter;
  copy.counter = "p50_ns";
  copy.unit = "us";
  copy.min_time_s = 0.3;
  figures.push_back(copy);

  nuv_bench::PairedFigure proxies;
  proxies.label = "resident bytes per live host object proxy, 100,000 live";
  proxies.target = "recorded; every proxy released";
  proxies.floor_label = "plain page objects of the same shape";
  proxies.figure = LiveProxies;
  proxies.floor = LivePlainObjects;
  proxies.metric = Metric::kCounter;
  proxies.counter = "bytes_per_object";
  proxies.unit = "B";
  proxies.unit_scale = 1;
  proxies.iterations = 1;
  proxies.max_pairs = 3;  // each run is a fresh process of about 20 s
  proxies.note_counter = "releases";
  figures.push_back(proxies);
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  // A host process that ended on its own must not end this one on the
  // next write to its pipe.
  signal(SIGPIPE, SIG_IGN);
  if (argc == 2 && std::strncmp(argv[1], "--live-objects=", 15) == 0)
    return LiveObjectsChild(std::strcmp(argv[1] + 15, "proxies") == 0);
  const int pairs = nuv_bench::PairsFromCommandLine(&argc, argv, 7);
  // The host process and the echo are forked before V8 starts its threads.
  nuv_test::HostProcess host;
  nuv_bench::SocketEcho echo;
  if (!host.Start() || !echo.Start()) {
    std::fprintf(stderr, "the host process or the echo process did not start\n");
    return 2;
  }
  g_host = &host;
  g_echo = &echo;
  benchmark::Initialize(&argc, argv);
  if (!nuv_bench::StartRuntime())
    return 2;
  const bool ok = nuv_bench::RunPairedFigures(Figures(), pairs);
  benchmark::Shutdown();
  host.Stop();
  echo.Stop();
  std::fflush(stdout);
  std::_Exit(ok ? 0 : 1);
}
