// Encoding and decoding an array of 100,000 mixed values, beside V8's own
// JSON.stringify and JSON.parse of the same array in the same isolate.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "bench/bench_runtime.h"
#include "src/bridge/helper_window.h"
#include "src/values/json_to_v8.h"
#include "src/values/v8_to_json.h"

namespace {

constexpr int kBrowser = 1;

// Integers, doubles, strings, booleans and nulls in turn.
constexpr char kPage[] =
    "var mixed = [];"
    "for (var i = 0; i < 100000; ++i) {"
    "  switch (i % 5) {"
    "    case 0: mixed.push(i); break;"
    "    case 1: mixed.push(i + 0.5); break;"
    "    case 2: mixed.push('item ' + i); break;"
    "    case 3: mixed.push(i % 2 == 0); break;"
    "    default: mixed.push(null);"
    "  }"
    "}"
    "var mixedText = JSON.stringify(mixed);"
    "function stringifyMixed() { return JSON.stringify(mixed).length; }"
    "function parseMixed() { return JSON.parse(mixedText).length; }";

struct Page {
  CefRefPtr<CefV8Context> context;
  CefRefPtr<CefV8Value> mixed;
  CefRefPtr<CefV8Value> stringify;
  CefRefPtr<CefV8Value> parse;
  std::string recordText;
};

Page& ThePage() {
  static Page* page = [] {
    Page* made = new Page;
    made->context = nuv_bench::OpenPage(kBrowser, kPage);
    made->context->Enter();
    made->mixed = nuv_bench::Eval(made->context, "mixed");
    made->stringify = nuv_bench::Eval(made->context, "stringifyMixed");
    made->parse = nuv_bench::Eval(made->context, "parseMixed");
    made->recordText = V8ValueToJsonText(kBrowser, made->context, made->mixed);
    return made;
  }();
  return *page;
}

void BM_EncodeMixed(benchmark::State& state) {
  Page& page = ThePage();
  size_t bytes = 0;
  for (auto _ : state) {
    std::string text = V8ValueToJsonText(kBrowser, page.context, page.mixed);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

// What the page-value interface alone costs for the encoder's walk: every
// element fetched and asked for its kind and value, nothing written.
void BM_WalkMixedOnly(benchmark::State& state) {
  Page& page = ThePage();
  for (auto _ : state) {
    const int length = page.mixed->GetArrayLength();
    int64_t kinds = 0;
    for (int i = 0; i < length; ++i) {
      CefRefPtr<CefV8Value> element = page.mixed->GetValue(i);
      if (element->IsArray() || element->IsBool() || element->IsDate() || element->IsFunction())
        ++kinds;
      else if (element->IsInt())
        kinds += element->GetIntValue();
      else if (element->IsNull() || element->IsObject())
        ++kinds;
      else if (element->IsString())
        kinds += static_cast<int64_t>(element->GetStringValue().length());
      else if (element->IsDouble())
        kinds += static_cast<int64_t>(element->GetDoubleValue());
    }
    benchmark::DoNotOptimize(kinds);
  }
}

void BM_JsonStringifyMixed(benchmark::State& state) {
  Page& page = ThePage();
  const CefV8ValueList none;
  for (auto _ : state)
    benchmark::DoNotOptimize(
        page.stringify->ExecuteFunctionWithContext(page.context, nullptr, none));
}

// True when |array| has 100,000 elements and the last string is |text|.
bool LastElementIs(const CefRefPtr<CefV8Value>& array, const char* text) {
  if (array->GetArrayLength() != 100000)
    return false;
  CefRefPtr<CefV8Value> element = array->GetValue(99997);
  return element && element->GetStringValue() == CefString(text);
}

void BM_DecodeMixed(benchmark::State& state) {
  Page& page = ThePage();
  for (auto _ : state) {
    CefRefPtr<CefV8Value> value = JsonTextToV8Value(0, page.context, kBrowser, page.recordText);
    // Reading an element makes the array in V8, as handing it to script
    // would: the measure includes all of the array's making.
    if (!value || !LastElementIs(value, "item 99997"))
      state.SkipWithError("decoded array is not the page's array");
    benchmark::DoNotOptimize(value);
  }
}

// What the page-value interface alone costs for the decoder's output: the
// same 100,000 values made and stored one by one, nothing parsed.
void BM_BuildMixedOnly(benchmark::State& state) {
  Page& page = ThePage();
  const CefString text("item 12345");
  for (auto _ : state) {
    CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(100000);
    for (int i = 0; i < 100000; ++i) {
      CefRefPtr<CefV8Value> element;
      switch (i % 5) {
        case 0:
          element = CefV8Value::CreateInt(i);
          break;
        case 1:
          element = CefV8Value::CreateDouble(i + 0.5);
          break;
        case 2:
          element = CefV8Value::CreateString(text);
          break;
        case 3:
          element = CefV8Value::CreateBool(i % 2 == 0);
          break;
        default:
          element = CefV8Value::CreateNull();
      }
      array->SetValue(i, element);
    }
    if (!LastElementIs(array, "item 12345"))
      state.SkipWithError("built array has the wrong elements");
    benchmark::DoNotOptimize(array);
  }
  (void)page;
}

void BM_JsonParseMixed(benchmark::State& state) {
  Page& page = ThePage();
  const CefV8ValueList none;
  for (auto _ : state)
    benchmark::DoNotOptimize(page.parse->ExecuteFunctionWithContext(page.context, nullptr, none));
}

BENCHMARK(BM_EncodeMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkMixedOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonStringifyMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildMixedOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JsonParseMixed)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!nuv_bench::StartRuntime())
    return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::fflush(stdout);
  // The page and its values are process-lifetime; leave without tearing
  // V8 down under them.
  std::_Exit(0);
}
