#include "src/common/ini_file.h"

#include <cwctype>

std::vector<std::u16string> SplitText(const std::u16string& text, char16_t separator) {
  std::vector<std::u16string> pieces;
  size_t start = 0;
  if (!text.empty() && text[0] == separator)
    start = 1;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::u16string::npos)
      end = text.size();
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

namespace {

bool IsSpace(char16_t c) {
  return iswspace(static_cast<wint_t>(c)) != 0;
}

std::u16string Trim(const std::u16string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin]))
    ++begin;
  while (end > begin && IsSpace(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

char16_t FoldCase(char16_t c) {
  return static_cast<char16_t>(towlower(static_cast<wint_t>(c)));
}

// Whether `text` begins with `prefix` (whole text when `whole`), ignoring case.
bool EqualsIgnoringCase(const std::u16string& text, const std::u16string& prefix, bool whole) {
  if (text.size() < prefix.size() || (whole && text.size() != prefix.size()))
    return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (FoldCase(text[i]) != FoldCase(prefix[i]))
      return false;
  }
  return true;
}

}  // namespace

void CNuvIniFileEx::LoadText(const std::u16string& text) {
  m_lines.clear();
  for (std::u16string& piece : SplitText(text, u'\n')) {
    if (!piece.empty() && piece.back() == u'\r')
      piece.pop_back();
    m_lines.push_back(std::move(piece));
  }
}

std::u16string CNuvIniFileEx::GetString(const char16_t* section,
                                        const char16_t* key,
                                        const char16_t* default_value) const {
  std::u16string fallback = default_value ? default_value : u"";
  if (!section || !key)
    return fallback;
  const std::u16string header = u"[" + std::u16string(section) + u"]";
  const std::u16string prefix = std::u16string(key) + u"=";
  bool in_section = false;
  for (const std::u16string& raw : m_lines) {
    std::u16string line = Trim(raw);
    if (line.empty() || line[0] == u';')
      continue;
    if (in_section) {
      if (line[0] == u'[')
        return fallback;
      if (EqualsIgnoringCase(line, prefix, false))
        return line.substr(prefix.size());
    } else if (line[0] == u'[') {
      in_section = EqualsIgnoringCase(line, header, true);
    }
  }
  return fallback;
}
