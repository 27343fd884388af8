// Holds the quick record-text reader against Json::Reader for one text:
// whatever the quick reader accepts, the reader must accept too, and both
// paths must give the same page value. Shared by the differential test and
// the differential fuzzer.
#ifndef NUV_TESTS_VALUES_RECORD_TEXT_DIFFERENTIAL_H_
#define NUV_TESTS_VALUES_RECORD_TEXT_DIFFERENTIAL_H_

#include <string>

#include "include/cef_v8.h"

namespace nuv_test {

struct DifferentialOutcome {
  bool quickAccepted = false;
  bool agrees = true;
  std::string why;  // what differs, when they disagree
};

// Must run on the render thread with `context` entered.
DifferentialOutcome CompareRecordTextReaders(const CefRefPtr<CefV8Context>& context,
                                             int browserId,
                                             const std::string& text);

// Deep comparison of two page values (kinds, numbers bit for bit, strings
// unit for unit, dates to within two seconds, since an out-of-range date
// text reads as the current time); empty when they are the same.
std::string PageValueDifference(const CefRefPtr<CefV8Value>& a, const CefRefPtr<CefV8Value>& b);

}  // namespace nuv_test

#endif  // NUV_TESTS_VALUES_RECORD_TEXT_DIFFERENTIAL_H_
