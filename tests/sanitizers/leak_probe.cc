// A script runtime whose page calls a native function, for the leak checks:
//   nuv_leak_probe teardown          nothing leaks; the runtime ends first
//   nuv_leak_probe v8-alive          nothing of ours leaks; V8 is still up at exit
//   nuv_leak_probe leak-in-handler   the function V8 calls loses a block per call
// Prints "probe done" as main returns; LeakSanitizer checks after that.
#include <cstdio>
#include <cstring>
#include <memory>

#include "cef/runtime/render_runtime.h"
#include "include/cef_app.h"
#include "include/cef_v8.h"

namespace {

class ProbeApp : public CefApp {
  IMPLEMENT_REFCOUNTING(ProbeApp);
};

char* volatile g_last_block = nullptr;

class NativeFunction : public CefV8Handler {
 public:
  explicit NativeFunction(bool leak) : leak_(leak) {}
  bool Execute(const CefString&,
               CefRefPtr<CefV8Value>,
               const CefV8ValueList&,
               CefRefPtr<CefV8Value>& retval,
               CefString&) override {
    char* block = new char[4321];
    std::memset(block, 1, 4321);
    if (leak_)
      g_last_block = block;  // overwritten by the next call: lost
    else
      delete[] block;
    retval = CefV8Value::CreateInt(3);
    return true;
  }

 private:
  const bool leak_;
  IMPLEMENT_REFCOUNTING(NativeFunction);
};

// Runs page script that calls the native function and fills the heap enough
// for V8 to keep bookkeeping of old-to-new pointers.
void RunPage(cefrt::RenderRuntime* runtime, bool leak) {
  runtime->CreateBrowser(1);
  runtime->CreateContext(1, 10, true, "", "");
  CefRefPtr<CefV8Context> context = runtime->GetBrowser(1)->GetMainFrame()->GetV8Context();
  context->Enter();
  context->GetGlobal()->SetValue("native",
                                 CefV8Value::CreateFunction("native", new NativeFunction(leak)),
                                 V8_PROPERTY_ATTRIBUTE_NONE);
  CefRefPtr<CefV8Value> result;
  CefRefPtr<CefV8Exception> exception;
  context->Eval(
      "var kept = []; for (var i = 0; i < 200000; ++i) kept.push({i: i, s: 'x' + i});"
      "native(); native(); native(); kept.length",
      result, exception);
  runtime->CollectGarbage();
  context->Exit();
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  const bool leak = std::strcmp(mode, "leak-in-handler") == 0;
  std::unique_ptr<cefrt::RenderRuntime> runtime =
      cefrt::RenderRuntime::Create(new ProbeApp(), nullptr);
  if (!runtime)
    return 2;
  RunPage(runtime.get(), leak);
  g_last_block = nullptr;
  if (std::strcmp(mode, "v8-alive") == 0)
    runtime.release();  // as the fuzz targets end: V8 never torn down
  else
    runtime.reset();
  std::printf("probe done\n");
  std::fflush(stdout);
  return 0;
}
