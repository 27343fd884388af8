// Reading the client's host window handle from the text of the switch
// "browser-message-window-handle".
#ifndef NUV_SRC_APP_HOST_WINDOW_SWITCH_H_
#define NUV_SRC_APP_HOST_WINDOW_SWITCH_H_

#include <cstdint>
#include <string>

// The handle in `text`, read as a decimal number: leading white space is
// skipped, an optional sign and the digits up to the first other character are
// taken as a signed 64-bit integer (saturating at its limits), and its low 32
// bits are the handle. No digits give 0. "1234abc" -> 1234, "0x4D2" -> 0,
// "-1" -> 0xFFFFFFFF, "4294967297" -> 1.
uint32_t ParseHostWindowHandle(const std::u16string& text);

#endif  // NUV_SRC_APP_HOST_WINDOW_SWITCH_H_
