// Creates the process's one RenderRuntime before the tests and destroys it
// after them.
#include <gtest/gtest.h>

#include "tests/cef/runtime_fixture.h"

namespace cef_test {
namespace {
cefrt::RenderRuntime* g_runtime = nullptr;
RecordingHandler* g_handler = nullptr;
RecordingObserver* g_observer = nullptr;
}  // namespace

cefrt::RenderRuntime* Runtime() {
  return g_runtime;
}
RecordingHandler* Handler() {
  return g_handler;
}
RecordingObserver* Observer() {
  return g_observer;
}

}  // namespace cef_test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  CefRefPtr<cef_test::RecordingHandler> handler = new cef_test::RecordingHandler();
  cef_test::RecordingObserver observer;
  // As a client that asks for uncaught exceptions with ten frames.
  cefrt::RenderRuntimeSettings settings;
  settings.uncaught_exception_stack_size = cef_test::kStackSize;
  std::unique_ptr<cefrt::RenderRuntime> runtime =
      cefrt::RenderRuntime::Create(new cef_test::RecordingApp(handler), &observer, settings);
  if (!runtime || !handler->render_thread_created || !handler->webkit_initialized) {
    fprintf(stderr, "the runtime did not start\n");
    return 1;
  }
  cef_test::g_runtime = runtime.get();
  cef_test::g_handler = handler.get();
  cef_test::g_observer = &observer;
  int result = RUN_ALL_TESTS();
  cef_test::g_runtime = nullptr;
  runtime.reset();
  return result;
}
