// Conversions between CefListValue (what process messages hold in the
// render process) and the IPC's WireList. The wire carries null, bool, int,
// double, string and nested lists; binary and dictionary values have no
// wire form, so a list holding one is refused rather than sent altered.
#ifndef CEF_IPC_LIST_VALUE_CONVERT_H_
#define CEF_IPC_LIST_VALUE_CONVERT_H_

#include <string>

#include "cef/ipc/wire_value.h"
#include "include/cef_values.h"

namespace cefipc {

// False (with *error naming the element) when `list` holds a value the wire
// cannot carry or nests deeper than kMaxListDepth. Unset elements (VTYPE_INVALID)
// travel as null, as CEF reads them.
bool ListValueToWire(CefRefPtr<CefListValue> list, WireList* out, std::string* error);

// Fills `list` (emptied first) with `values`.
void WireToListValue(const WireList& values, CefRefPtr<CefListValue> list);

}  // namespace cefipc

#endif  // CEF_IPC_LIST_VALUE_CONVERT_H_
