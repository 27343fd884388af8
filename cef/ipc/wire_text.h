// UTF-16 <-> UTF-8 for the IPC's log lines, debug output and the client's
// convenience calls. Unpaired surrogates become U+FFFD in UTF-8 and invalid
// UTF-8 sequences become U+FFFD in UTF-16; the wire itself carries UTF-16
// unchanged, so nothing on the wire depends on these conversions.
#ifndef CEF_IPC_WIRE_TEXT_H_
#define CEF_IPC_WIRE_TEXT_H_

#include <string>

namespace cefipc {

std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);

}  // namespace cefipc

#endif  // CEF_IPC_WIRE_TEXT_H_
