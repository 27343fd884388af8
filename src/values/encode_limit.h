// How far the page-value encoder may go: every record text is written
// against a byte limit, and encoding stops as soon as the text would pass it,
// so that no page value (a huge string, a sparse array of length 2^31 - 1)
// makes the encoder do unbounded work or hold unbounded memory.
#ifndef NUV_SRC_VALUES_ENCODE_LIMIT_H_
#define NUV_SRC_VALUES_ENCODE_LIMIT_H_

#include <cstddef>
#include <string>

// The largest record text any channel of this process carries (a bridge
// request's text is at most 64 MiB - 16 bytes, a process message less). The
// limit of the encoder calls that take none.
constexpr size_t kMaxRecordTextSize = 64u * 1024u * 1024u;

// Why a value's record text was not written.
struct NuvEncodeFailure {
  enum class Reason {
    kNone,
    kTooLarge,     // the text would pass the limit
    kOutOfMemory,  // an allocation failed on the way
    kError,        // anything else that was thrown (detail says what)
  };
  Reason reason = Reason::kNone;
  // kTooLarge: the value that did not fit ("a string of 40000000
  // characters", "an array of 4000000 elements"); otherwise what failed.
  std::string detail;

  bool failed() const { return reason != Reason::kNone; }
};

// WideToUtf8 of `length` units at `text`, unless the UTF-8 text passes
// `room` bytes: then false, after converting no more than room + 8 units
// (a table that deletes characters is the one case converted whole before
// the test). *out is set only on success.
bool WideToUtf8Within(const char16_t* text, size_t length, size_t room, std::string* out);

// Fills *failure from the exception being handled (call it only inside a
// catch block): an allocation failure, or a text that would pass the
// library's own size limit (std::length_error), is out of memory; anything
// else is an error whose detail says what was thrown.
void NoteCurrentException(NuvEncodeFailure* failure);

// One phrase for log lines, e.g. "its value record passes the limit of
// 67108848 bytes (an array of 4000000 elements)" or "out of memory
// (std::bad_alloc)".
std::string DescribeEncodeFailure(const NuvEncodeFailure& failure, size_t limit);

#endif  // NUV_SRC_VALUES_ENCODE_LIMIT_H_
