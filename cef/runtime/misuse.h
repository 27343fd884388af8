// Reports of calls that break the script interface's rules (the wrong
// thread, an invalid value, an object call on a primitive, no current
// context, a bad argument), as CEF's require-macros report them. The call
// still returns what CEF returns; in debug builds, or when
// CEFRT_REPORT_MISUSE is defined, it also writes one line to stderr:
//   [cef-runtime] CefV8Value::GetValue: V8 value is not an object
// Release builds compile the reports away: the checks that decide the
// return value are the ones the runtime makes anyway.
#ifndef CEF_RUNTIME_MISUSE_H_
#define CEF_RUNTIME_MISUSE_H_

#if !defined(NDEBUG) || defined(CEFRT_REPORT_MISUSE)
#define CEFRT_MISUSE_REPORTS 1
#else
#define CEFRT_MISUSE_REPORTS 0
#endif

// The calling function, for the report (nothing in release builds).
#define CEFRT_HERE (::cefrt::internal::kReportMisuse ? __PRETTY_FUNCTION__ : nullptr)

namespace cefrt {
namespace internal {

constexpr bool kReportMisuse = CEFRT_MISUSE_REPORTS != 0;

// What CEF says for each kind of misuse.
extern const char kNotAnObject[];       // "V8 value is not an object"
extern const char kNotAnArray[];        // "V8 value is not an array"
extern const char kNotAFunction[];      // "V8 value is not a function"
extern const char kHandleNotValid[];    // "V8 handle is not valid"
extern const char kNoCurrentContext[];  // "not currently in a V8 context"
extern const char kInvalidInput[];      // "invalid input parameter"

// Writes the report line for |function| (a __PRETTY_FUNCTION__ text, shown
// as Class::Method; null: "CEF call"). Only call it through the macros below.
void WriteMisuse(const char* function, const char* what);

// Why there is no isolate on this thread: the wrong thread, or a runtime
// that has ended.
const char* NoIsolateReason();

}  // namespace internal
}  // namespace cefrt

// Reports |what| for the function |here| (a CEFRT_HERE passed down), or
// for the current function (debug builds only).
#define CEFRT_REPORT_MISUSE_AT(here, what)            \
  do {                                                \
    if (::cefrt::internal::kReportMisuse)             \
      ::cefrt::internal::WriteMisuse((here), (what)); \
  } while (0)
#define CEFRT_REPORT_MISUSE(what) CEFRT_REPORT_MISUSE_AT(CEFRT_HERE, what)

// CEF_V8_REQUIRE_ISOLATE_RETURN: the render thread of a live runtime.
#define CEFRT_REQUIRE_ISOLATE_RETURN(isolate, failure)           \
  do {                                                           \
    if (!(isolate)) {                                            \
      CEFRT_REPORT_MISUSE(::cefrt::internal::NoIsolateReason()); \
      return failure;                                            \
    }                                                            \
  } while (0)

#endif  // CEF_RUNTIME_MISUSE_H_
