#include "cef/runtime/misuse.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace cefrt {
namespace internal {

const char kNotAnObject[] = "V8 value is not an object";
const char kNotAnArray[] = "V8 value is not an array";
const char kNotAFunction[] = "V8 value is not a function";
const char kHandleNotValid[] = "V8 handle is not valid";
const char kNoCurrentContext[] = "not currently in a V8 context";
const char kInvalidInput[] = "invalid input parameter";

namespace {

// "virtual CefRefPtr<CefV8Value> cefrt::internal::CefV8ValueImpl::GetValue(
// const CefString&)" reads "CefV8Value::GetValue": the interface's name of
// the call, as the caller wrote it.
std::string CallName(const char* pretty) {
  std::string name(pretty);
  const size_t open = name.find('(');
  if (open != std::string::npos)
    name.erase(open);
  const size_t space = name.rfind(' ');
  if (space != std::string::npos)
    name.erase(0, space + 1);
  for (const char* prefix : {"cefrt::internal::", "{anonymous}::"}) {
    for (size_t at; (at = name.find(prefix)) != std::string::npos;)
      name.erase(at, std::strlen(prefix));
  }
  const size_t impl = name.find("Impl::");
  if (impl != std::string::npos)
    name.erase(impl, 4);
  return name;
}

}  // namespace

void WriteMisuse(const char* function, const char* what) {
  const std::string name = function ? CallName(function) : std::string("CEF call");
  std::fprintf(stderr, "[cef-runtime] %s: %s\n", name.c_str(), what);
  std::fflush(stderr);
}

}  // namespace internal
}  // namespace cefrt
