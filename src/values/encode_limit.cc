#include "src/values/encode_limit.h"

#include <exception>
#include <new>
#include <stdexcept>

#include "src/common/text_conv.h"

namespace {

// Units of a string looked at before the whole of it is converted.
constexpr size_t kHeadSlack = 8;

}  // namespace

bool WideToUtf8Within(const char16_t* text, size_t length, size_t room, std::string* out) {
  if (room < std::string::npos - kHeadSlack && length > room + kHeadSlack) {
    // The UTF-8 text of a head of the string is at most 3 bytes longer than
    // the same part of the whole text (a surrogate pair cut at its end), and
    // every unit not deleted by the substitution table adds at least a byte.
    if (WideToUtf8(text, room + kHeadSlack).size() > room + 3)
      return false;
  }
  std::string whole = WideToUtf8(text, length);
  if (whole.size() > room)
    return false;
  *out = std::move(whole);
  return true;
}

std::string DescribeEncodeFailure(const NuvEncodeFailure& failure, size_t limit) {
  switch (failure.reason) {
    case NuvEncodeFailure::Reason::kNone:
      break;
    case NuvEncodeFailure::Reason::kTooLarge:
      return "its value record passes the limit of " + std::to_string(limit) + " bytes (" +
             failure.detail + ")";
    case NuvEncodeFailure::Reason::kOutOfMemory:
      return "out of memory (" + failure.detail + ")";
    case NuvEncodeFailure::Reason::kError:
      return "failed (" + failure.detail + ")";
  }
  return std::string();
}

void NoteCurrentException(NuvEncodeFailure* failure) {
  try {
    throw;
  } catch (const std::bad_alloc& e) {
    failure->reason = NuvEncodeFailure::Reason::kOutOfMemory;
    failure->detail = e.what();
  } catch (const std::length_error& e) {
    failure->reason = NuvEncodeFailure::Reason::kOutOfMemory;
    failure->detail = e.what();
  } catch (const std::exception& e) {
    failure->reason = NuvEncodeFailure::Reason::kError;
    failure->detail = e.what();
  } catch (...) {
    failure->reason = NuvEncodeFailure::Reason::kError;
    failure->detail = "an unknown exception";
  }
}
