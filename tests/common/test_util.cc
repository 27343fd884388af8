// The platform-independent part of the test helpers.
#include "tests/common/test_util.h"

#include <cstdio>
#include <cstdlib>

namespace nuv_test {

std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '/')
      c = kSeparator;
  }
  return native;
}

std::string ScratchDir::operator/(const std::string& name) const {
  return path_ + kSeparator + NativePath(name);
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::u16string FromUtf16Le(const std::string& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  return text;
}

// The tests' own small UTF-8 codec, so that the helpers never depend on the
// converters under test. Input is valid UTF-8 or UTF-16.
std::u16string U16(const std::string& utf8) {
  std::u16string text;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += extra + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(code));
    }
  }
  return text;
}

std::string U8(const std::u16string& text) {
  std::string utf8;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size()) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | (code >> 6));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (code >> 12));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (code >> 18));
      utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
    return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

bool ChildProcess::ReadLine(std::string* line) {
  line->clear();
  for (char c; ReadOutput(&c, 1);) {
    if (c == '\n')
      return true;
    line->push_back(c);
  }
  return false;
}

ChildProcess::~ChildProcess() {
  if (process_ == -1)
    return;
  if (streams_ == ChildStreams::kCaptureOutput)
    Wait();
  else
    Kill();
}

ChildResult RunChild(const std::string& program,
                     const std::vector<std::string>& args,
                     const EnvList& env) {
  ChildProcess child;
  if (!child.Start(program, args, env))
    return ChildResult();
  return child.Wait();
}

bool RunChildRoleWhenAsked(const char* variable, int (*role)()) {
  if (GetEnv(variable).empty())
    return false;
  const int code = role();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}

std::string UniqueName(const std::string& base) {
  return base + std::to_string(CurrentProcessId());
}

}  // namespace nuv_test
