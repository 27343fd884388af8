#include "src/common/format_text.h"

std::u16string FormatText(const char16_t* format,
                          const char16_t* text1,
                          const char16_t* text2,
                          const char16_t* text3) {
  std::u16string result = format ? format : u"";
  size_t i = 0;
  while (i + 1 < result.size()) {
    char16_t next = result[i + 1];
    if (result[i] == u'%' && next >= u'1' && next <= u'9') {
      const char16_t* argument = nullptr;
      if (next == u'1')
        argument = text1;
      else if (next == u'2')
        argument = text2;
      else if (next == u'3')
        argument = text3;
      std::u16string inserted = argument ? argument : u"";
      result.replace(i, 2, inserted);
      i += inserted.size();
    } else if (result[i] == u'%' && next == u'a') {
      result.erase(i, 2);
    } else {
      ++i;
    }
  }
  return result;
}

std::u16string FormatText(const std::u16string& format, const std::u16string& text1) {
  return FormatText(format.c_str(), text1.c_str());
}

std::u16string FormatText(const std::u16string& format,
                          const std::u16string& text1,
                          const std::u16string& text2) {
  return FormatText(format.c_str(), text1.c_str(), text2.c_str());
}

std::u16string FormatText(const std::u16string& format,
                          const std::u16string& text1,
                          const std::u16string& text2,
                          const std::u16string& text3) {
  return FormatText(format.c_str(), text1.c_str(), text2.c_str(), text3.c_str());
}

std::u16string DecimalText(int64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}
