// Text for the --html page: escaping for HTML (text and attribute values
// alike) that also makes any bytes safe to show, and cutting long texts at a
// character boundary. Page strings reach the page as they came from the
// render process, so they may hold "</script>", "<", "&", quotes, NUL,
// control characters and bytes that are not UTF-8 (lone surrogates).
#ifndef NUV_HOST_CLIENT_HTML_TEXT_H_
#define NUV_HOST_CLIENT_HTML_TEXT_H_

#include <cstddef>
#include <string>

namespace nuv {
namespace host {

// `text` as HTML text or attribute value: & < > " ' become character
// references; bytes that are not well-formed UTF-8 (also encoded surrogates
// and overlong forms) become U+FFFD; control characters other than tab and
// line feed become their visible pictures (U+2400...), so NUL shows as "␀".
std::string EscapeHtml(const std::string& text);

// `text` cut to at most `max_bytes` bytes without splitting a UTF-8
// sequence; `*cut` (may be null) says whether anything was cut.
std::string CutUtf8(const std::string& text, size_t max_bytes, bool* cut);

}  // namespace host
}  // namespace nuv

#endif  // NUV_HOST_CLIENT_HTML_TEXT_H_
