// What a caught exception was, in words fit for a log line.
#ifndef NUV_SRC_COMMON_EXCEPTION_TEXT_H_
#define NUV_SRC_COMMON_EXCEPTION_TEXT_H_

#include <string>

// The exception being handled: "out of memory" for an allocation failure,
// the what() text of any other standard exception, "an unknown exception"
// otherwise. Call it only inside a catch block. An empty text when even
// that cannot be built.
std::u16string CurrentExceptionText() noexcept;

#endif  // NUV_SRC_COMMON_EXCEPTION_TEXT_H_
