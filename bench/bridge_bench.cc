// A host property read from page script through the whole bridge, against
// the client's host window in a second process, beside its floor: the two
// raw copy-data messages (request and nested reply) between the same two
// processes, with nothing else done on either side.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_runtime.h"
#include "platform/message_window.h"
#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/bridge_transport.h"
#include "src/bridge/helper_window.h"
#include "tests/bridge/host_process.h"

namespace {

constexpr int kBrowser = 1;
// Operations per benchmark iteration, in both benchmarks alike.
constexpr int kBatch = 32;

nuv_test::HostProcess* g_host = nullptr;

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

void BM_PropertyReadFromScript(benchmark::State& state) {
  Page& page = ThePage();
  const CefV8ValueList arguments = {CefV8Value::CreateInt(kBatch)};
  for (auto _ : state) {
    CefRefPtr<CefV8Value> title =
        page.readTitles->ExecuteFunctionWithContext(page.context, nullptr, arguments);
    if (!title || !title->IsString())
      state.SkipWithError("the property read gave no text");
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// The same request from C++: the bridge without the page around it.
void BM_PropertyReadRequest(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      benchmark::DoNotOptimize(
          SendBridgeRequest(g_host->host_window(), BRIDGE_GET_PROPERTY, kBrowser, 7, "title"));
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
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

void BM_CopyDataFloor(benchmark::State& state) {
  ReplySink sink;
  const nuv::platform::WindowHandle window = nuv::platform::CreateMessageWindow(&sink);
  const std::vector<uint8_t> packet = BuildRequestPacket(kBrowser, 5, 7, "title");
  nuv::platform::CopyData data;
  data.dwData = BRIDGE_GET_PROPERTY;
  data.cbData = static_cast<uint32_t>(packet.size());
  data.lpData = packet.data();
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i)
      nuv::platform::SendCopyData(g_host->echo_window(), window, data, nullptr);
  }
  if (sink.received != static_cast<uint64_t>(state.iterations()) * kBatch * packet.size())
    state.SkipWithError("not every reply arrived");
  state.SetItemsProcessed(state.iterations() * kBatch);
  nuv::platform::DestroyMessageWindow(window);
}

BENCHMARK(BM_PropertyReadFromScript)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PropertyReadRequest)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CopyDataFloor)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // The host process is forked before V8 starts its threads.
  nuv_test::HostProcess host;
  if (!host.Start()) {
    std::fprintf(stderr, "the host process did not start\n");
    return 2;
  }
  g_host = &host;
  benchmark::Initialize(&argc, argv);
  if (!nuv_bench::StartRuntime())
    return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  host.Stop();
  std::fflush(stdout);
  std::_Exit(0);
}
