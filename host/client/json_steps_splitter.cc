#include "host/client/json_steps_splitter.h"

#include <cctype>

namespace nuv {
namespace host {
namespace {

constexpr size_t kFailed = std::string::npos;
constexpr int kMaxDepth = 1000;

// Past blanks and comments.
size_t SkipSpace(const std::string& text, size_t pos) {
  while (pos < text.size()) {
    const char c = text[pos];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++pos;
    } else if (c == '/' && pos + 1 < text.size() && text[pos + 1] == '/') {
      pos = text.find('\n', pos);
      if (pos == std::string::npos)
        return text.size();
    } else if (c == '/' && pos + 1 < text.size() && text[pos + 1] == '*') {
      pos = text.find("*/", pos + 2);
      if (pos == std::string::npos)
        return kFailed;
      pos += 2;
    } else {
      break;
    }
  }
  return pos;
}

// Past the string starting at `pos` (its opening quote).
size_t SkipString(const std::string& text, size_t pos) {
  for (++pos; pos < text.size(); ++pos) {
    if (text[pos] == '\\')
      ++pos;
    else if (text[pos] == '"')
      return pos + 1;
  }
  return kFailed;
}

// Past the value starting at `pos`.
size_t SkipValue(const std::string& text, size_t pos) {
  if (pos >= text.size())
    return kFailed;
  if (text[pos] == '"')
    return SkipString(text, pos);
  if (text[pos] != '{' && text[pos] != '[') {
    const size_t start = pos;
    while (pos < text.size() && (std::isalnum(static_cast<unsigned char>(text[pos])) ||
                                 text[pos] == '-' || text[pos] == '+' || text[pos] == '.'))
      ++pos;
    return pos == start ? kFailed : pos;
  }
  int depth = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '"') {
      pos = SkipString(text, pos);
      if (pos == kFailed)
        return kFailed;
      continue;
    }
    if (c == '/') {
      pos = SkipSpace(text, pos);
      if (pos == kFailed)
        return kFailed;
      if (pos < text.size() && text[pos] == '/')
        return kFailed;  // a lone slash
      continue;
    }
    if (c == '{' || c == '[') {
      if (++depth > kMaxDepth)
        return kFailed;
    } else if (c == '}' || c == ']') {
      if (--depth == 0)
        return pos + 1;
    }
    ++pos;
  }
  return kFailed;
}

bool ScanArray(const std::string& text, size_t pos, ArraySpans* spans) {
  spans->begin = pos;
  spans->elements.clear();
  pos = SkipSpace(text, pos + 1);
  if (pos != kFailed && pos < text.size() && text[pos] == ']') {
    spans->end = pos + 1;
    return true;
  }
  while (pos != kFailed && pos < text.size()) {
    const size_t end = SkipValue(text, pos);
    if (end == kFailed)
      return false;
    spans->elements.emplace_back(pos, end);
    pos = SkipSpace(text, end);
    if (pos == kFailed || pos >= text.size())
      return false;
    if (text[pos] == ']') {
      spans->end = pos + 1;
      return true;
    }
    if (text[pos] != ',')
      return false;
    pos = SkipSpace(text, pos + 1);
  }
  return false;
}

}  // namespace

bool SplitArrayMember(const std::string& text, const std::string& name, ArraySpans* spans) {
  size_t pos = SkipSpace(text, 0);
  if (pos == kFailed || pos >= text.size() || text[pos] != '{')
    return false;
  pos = SkipSpace(text, pos + 1);
  while (pos != kFailed && pos < text.size() && text[pos] == '"') {
    const size_t key_end = SkipString(text, pos);
    if (key_end == kFailed)
      return false;
    const std::string key = text.substr(pos + 1, key_end - pos - 2);
    pos = SkipSpace(text, key_end);
    if (pos == kFailed || pos >= text.size() || text[pos] != ':')
      return false;
    pos = SkipSpace(text, pos + 1);
    if (pos == kFailed || pos >= text.size())
      return false;
    if (key == name)
      return text[pos] == '[' && ScanArray(text, pos, spans);
    pos = SkipValue(text, pos);
    if (pos == kFailed)
      return false;
    pos = SkipSpace(text, pos);
    if (pos == kFailed || pos >= text.size() || text[pos] != ',')
      return false;
    pos = SkipSpace(text, pos + 1);
  }
  return false;
}

}  // namespace host
}  // namespace nuv
