// The script runtime the benchmarks run in: V8 is set up once per
// benchmark binary, and pages are opened in it as in the tests.
#ifndef NUV_BENCH_BENCH_RUNTIME_H_
#define NUV_BENCH_BENCH_RUNTIME_H_

#include <string>

#include "cef/runtime/render_runtime.h"
#include "include/cef_v8.h"

namespace nuv_bench {

// Creates the runtime; false when it cannot be made.
bool StartRuntime();
void StopRuntime();
cefrt::RenderRuntime* Runtime();

// Browser `browserId` with a main-frame context running `pageScript`.
CefRefPtr<CefV8Context> OpenPage(int browserId, const std::string& pageScript);
CefRefPtr<CefV8Value> Eval(const CefRefPtr<CefV8Context>& context, const std::string& code);

}  // namespace nuv_bench

#endif  // NUV_BENCH_BENCH_RUNTIME_H_
