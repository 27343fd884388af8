// FormatText: the small "%1".."%3" placeholder formatter with which log lines,
// the page-script wrapper and registry key names are composed.
#ifndef NUV_SRC_COMMON_FORMAT_TEXT_H_
#define NUV_SRC_COMMON_FORMAT_TEXT_H_

#include <cstdint>
#include <string>

// Returns `format` with "%1", "%2", "%3" replaced by the matching argument
// (null reads as the empty text) and "%4".."%9" and "%a" removed. Inserted
// text is never scanned again; there is no escape for "%".
std::u16string FormatText(const char16_t* format,
                          const char16_t* text1 = nullptr,
                          const char16_t* text2 = nullptr,
                          const char16_t* text3 = nullptr);

// The same for callers that hold std::u16string values.
std::u16string FormatText(const std::u16string& format, const std::u16string& text1);
std::u16string FormatText(const std::u16string& format,
                          const std::u16string& text1,
                          const std::u16string& text2);
std::u16string FormatText(const std::u16string& format,
                          const std::u16string& text1,
                          const std::u16string& text2,
                          const std::u16string& text3);

// A number in decimal ("-12"), for the placeholders of log lines.
std::u16string DecimalText(int64_t value);

#endif  // NUV_SRC_COMMON_FORMAT_TEXT_H_
