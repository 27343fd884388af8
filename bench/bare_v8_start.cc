// The floor of a render process's start: a bare program on the same libnode
// that starts V8, makes an isolate and a context, says so with one byte on
// standard output and ends. The command benchmarks spawn it beside the
// real sub-process.
#include <libplatform/libplatform.h>
#include <unistd.h>
#include <v8.h>

#include <memory>

int main() {
  std::unique_ptr<v8::Platform> platform = v8::platform::NewDefaultPlatform();
  v8::V8::InitializePlatform(platform.get());
  v8::V8::Initialize();
  std::unique_ptr<v8::ArrayBuffer::Allocator> allocator(
      v8::ArrayBuffer::Allocator::NewDefaultAllocator());
  v8::Isolate::CreateParams params;
  params.array_buffer_allocator = allocator.get();
  v8::Isolate* isolate = v8::Isolate::New(params);
  {
    v8::Isolate::Scope isolate_scope(isolate);
    v8::HandleScope handle_scope(isolate);
    v8::Local<v8::Context> context = v8::Context::New(isolate);
    v8::Context::Scope context_scope(context);
    const char ready = 'r';
    if (write(STDOUT_FILENO, &ready, 1) != 1)
      return 1;
  }
  // Ends as the sub-process does when told to: without tearing V8 down.
  _exit(0);
}
