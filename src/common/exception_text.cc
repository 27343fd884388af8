#include "src/common/exception_text.h"

#include <exception>
#include <new>

namespace {

// The text of the exception being handled; static storage or the
// exception's own.
const char* CurrentExceptionWhat() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an unknown exception";
  }
}

}  // namespace

std::u16string CurrentExceptionText() noexcept {
  const char* what = CurrentExceptionWhat();
  try {
    // what() texts are ASCII in practice; anything else shows as '?'.
    std::u16string text;
    for (const char* c = what; c && *c; ++c)
      text += static_cast<unsigned char>(*c) < 0x80 ? static_cast<char16_t>(*c) : u'?';
    return text;
  } catch (...) {
    return std::u16string();
  }
}
