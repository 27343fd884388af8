#include "platform/process_info.h"

namespace nuv {
namespace platform {

// CommandLineToArgvW's rules: backslashes are literal except before a quote;
// 2n backslashes + quote -> n backslashes and a delimiting quote, 2n+1
// backslashes + quote -> n backslashes and a literal quote.
//
// CommandLineToArgvW splits at spaces and tabs only, but other readers of
// the same text split at any white space (CefCommandLine::InitFromString
// does, as Chromium trims each argument): an argument with any of them is
// quoted, which every one of these readers reads back unchanged.
std::u16string QuoteCommandLineArgument(const std::u16string& arg) {
  if (!arg.empty() && arg.find_first_of(u" \t\n\v\f\r\"") == std::u16string::npos)
    return arg;
  std::u16string out = u"\"";
  size_t backslashes = 0;
  for (char16_t c : arg) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"')
      out.append(backslashes * 2 + 1, u'\\');
    else
      out.append(backslashes, u'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, u'\\');
  out += u'"';
  return out;
}

}  // namespace platform
}  // namespace nuv
