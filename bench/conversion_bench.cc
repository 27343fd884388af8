// The value conversions beside V8's own JSON in the same isolate, measured
// in CPU time of the benchmark thread: encoding and decoding arrays of
// 10,000, 100,000 and 1,000,000 mixed values against JSON.stringify and
// JSON.parse of the same arrays, how the cost per value grows from 100,000
// to 1,000,000 values, and the floors of the page-value interface itself.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_runtime.h"
#include "bench/paired_runner.h"
#include "src/bridge/helper_window.h"
#include "src/values/json_to_v8.h"
#include "src/values/v8_to_json.h"

namespace {

constexpr int kBrowser = 1;
const int kSizes[] = {10000, 100000, 1000000};

// Integers, doubles, strings, booleans and nulls in turn.
constexpr char kPage[] =
    "function makeMixed(n) {"
    "  var mixed = [];"
    "  for (var i = 0; i < n; ++i) {"
    "    switch (i % 5) {"
    "      case 0: mixed.push(i); break;"
    "      case 1: mixed.push(i + 0.5); break;"
    "      case 2: mixed.push('item ' + i); break;"
    "      case 3: mixed.push(i % 2 == 0); break;"
    "      default: mixed.push(null);"
    "    }"
    "  }"
    "  return mixed;"
    "}"
    "var arrays = {}, texts = {};"
    "function prepare(n) { arrays[n] = makeMixed(n); texts[n] = JSON.stringify(arrays[n]); "
    "  return arrays[n]; }"
    "function stringifyMixed(n) { return JSON.stringify(arrays[n]).length; }"
    "function parseMixed(n) { return JSON.parse(texts[n]).length; }";

struct Sized {
  CefRefPtr<CefV8Value> mixed;
  std::string recordText;
};

struct Page {
  CefRefPtr<CefV8Context> context;
  CefRefPtr<CefV8Value> stringify;
  CefRefPtr<CefV8Value> parse;
  std::map<int, Sized> sized;
};

Page& ThePage() {
  static Page* page = [] {
    Page* made = new Page;
    made->context = nuv_bench::OpenPage(kBrowser, kPage);
    made->context->Enter();
    made->stringify = nuv_bench::Eval(made->context, "stringifyMixed");
    made->parse = nuv_bench::Eval(made->context, "parseMixed");
    for (int n : kSizes) {
      Sized& sized = made->sized[n];
      sized.mixed = nuv_bench::Eval(made->context, "prepare(" + std::to_string(n) + ")");
      sized.recordText = V8ValueToJsonText(kBrowser, made->context, sized.mixed);
    }
    return made;
  }();
  return *page;
}

void Encode(benchmark::State& state, int n) {
  Page& page = ThePage();
  const Sized& sized = page.sized[n];
  size_t bytes = 0;
  for (auto _ : state) {
    std::string text = V8ValueToJsonText(kBrowser, page.context, sized.mixed);
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void Stringify(benchmark::State& state, int n) {
  Page& page = ThePage();
  const CefV8ValueList arguments = {CefV8Value::CreateInt(n)};
  for (auto _ : state)
    benchmark::DoNotOptimize(
        page.stringify->ExecuteFunctionWithContext(page.context, nullptr, arguments));
}

// True when |array| has n elements and element n-3 is the string |text|.
bool ElementIs(const CefRefPtr<CefV8Value>& array, int n, const std::string& text) {
  if (!array || array->GetArrayLength() != n)
    return false;
  CefRefPtr<CefV8Value> element = array->GetValue(n - 3);
  return element && element->GetStringValue() == CefString(text);
}

void Decode(benchmark::State& state, int n) {
  Page& page = ThePage();
  const std::string& text = page.sized[n].recordText;
  // n is a multiple of 5, so element n-3 is a string.
  const std::string last = "item " + std::to_string(n - 3);
  for (auto _ : state) {
    CefRefPtr<CefV8Value> value = JsonTextToV8Value(0, page.context, kBrowser, text);
    // Reading an element makes the array in V8, as handing it to script
    // would: the measure includes all of the array's making.
    if (!ElementIs(value, n, last)) {
      state.SkipWithError("decoded array is not the page's array");
      break;
    }
    benchmark::DoNotOptimize(value);
  }
}

void Parse(benchmark::State& state, int n) {
  Page& page = ThePage();
  const CefV8ValueList arguments = {CefV8Value::CreateInt(n)};
  for (auto _ : state)
    benchmark::DoNotOptimize(
        page.parse->ExecuteFunctionWithContext(page.context, nullptr, arguments));
}

// What the page-value interface alone costs for the encoder's walk: every
// element fetched and asked for its kind and value, nothing written.
void WalkOnly(benchmark::State& state, int n) {
  Page& page = ThePage();
  const CefRefPtr<CefV8Value>& mixed = page.sized[n].mixed;
  for (auto _ : state) {
    const int length = mixed->GetArrayLength();
    int64_t kinds = 0;
    for (int i = 0; i < length; ++i) {
      CefRefPtr<CefV8Value> element = mixed->GetValue(i);
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

// What the page-value interface alone costs for the decoder's output: the
// same values made and stored one by one, nothing parsed.
void BuildOnly(benchmark::State& state, int n) {
  ThePage();
  const CefString text("item 12345");
  for (auto _ : state) {
    CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(n);
    for (int i = 0; i < n; ++i) {
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
    if (!ElementIs(array, n, "item 12345")) {
      state.SkipWithError("built array has the wrong elements");
      break;
    }
    benchmark::DoNotOptimize(array);
  }
}

std::string Count(int n) {
  return n == 10000 ? "10,000" : n == 100000 ? "100,000" : "1,000,000";
}

nuv_bench::PairedFigure CpuFigure(const std::string& label,
                                  const std::string& floor_label,
                                  void (*figure)(benchmark::State&, int),
                                  int figure_n,
                                  void (*floor)(benchmark::State&, int),
                                  int floor_n) {
  nuv_bench::PairedFigure f;
  f.label = label;
  f.target = "-";
  f.floor_label = floor_label;
  f.figure = [figure, figure_n](benchmark::State& s) { figure(s, figure_n); };
  f.floor = [floor, floor_n](benchmark::State& s) { floor(s, floor_n); };
  f.metric = nuv_bench::Metric::kCpuTime;
  f.unit = "ms";
  f.unit_scale = 1e-6;
  f.min_time_s = figure_n >= 1000000 ? 0.5 : 0.2;
  return f;
}

std::vector<nuv_bench::PairedFigure> Figures() {
  std::vector<nuv_bench::PairedFigure> figures;
  for (int n : kSizes) {
    auto encode = CpuFigure("encode " + Count(n) + " values", "JSON.stringify, same isolate",
                            Encode, n, Stringify, n);
    auto decode = CpuFigure("decode " + Count(n) + " values", "JSON.parse, same isolate", Decode, n,
                            Parse, n);
    if (n == 100000) {
      encode.target = "<= 3x floor";
      encode.max_ratio = 3;
      decode.target = "<= 3x floor";
      decode.max_ratio = 3;
    }
    figures.push_back(encode);
    figures.push_back(decode);
  }
  for (bool decoding : {false, true}) {
    auto grow =
        CpuFigure(std::string(decoding ? "decode" : "encode") + " cost per value at 1,000,000",
                  "the same at 100,000", decoding ? Decode : Encode, 1000000,
                  decoding ? Decode : Encode, 100000);
    grow.unit = "ns";
    grow.unit_scale = 1;
    grow.figure_per = 1000000;
    grow.floor_per = 100000;
    if (decoding) {
      grow.target = "<= 1.2x floor";
      grow.max_ratio = 1.2;
    }
    figures.push_back(grow);
  }
  figures.push_back(CpuFigure("page-value walk alone, 100,000 values (encoder's floor)",
                              "JSON.stringify, same isolate", WalkOnly, 100000, Stringify, 100000));
  figures.push_back(CpuFigure("page-value building alone, 100,000 values (decoder's floor)",
                              "JSON.parse, same isolate", BuildOnly, 100000, Parse, 100000));
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  const int pairs = nuv_bench::PairsFromCommandLine(&argc, argv, 7);
  benchmark::Initialize(&argc, argv);
  if (!nuv_bench::StartRuntime())
    return 2;
  const bool ok = nuv_bench::RunPairedFigures(Figures(), pairs);
  benchmark::Shutdown();
  std::fflush(stdout);
  // The page and its values are process-lifetime; leave without tearing
  // V8 down under them.
  std::_Exit(ok ? 0 : 1);
}
