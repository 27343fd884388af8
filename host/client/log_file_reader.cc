#include "host/client/log_file_reader.h"

#include <cstdint>
#include <fstream>
#include <iterator>

#include "platform/code_page.h"

namespace nuv {
namespace host {
namespace {

// One line of UTF-16 as UTF-8; unpaired surrogates become U+FFFD.
std::string LineToUtf8(const std::u16string& line) {
  std::string out;
  platform::WideToMultiByte(platform::kCodePageUtf8, line.data(), line.size(), &out);
  return out;
}

}  // namespace

std::vector<std::string> DecodeUtf16LeLines(const std::string& bytes) {
  size_t start = 0;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE)
    start = 2;

  // A line feed is never half of a surrogate pair, so lines can be split on
  // the UTF-16 units before they are converted.
  std::vector<std::string> lines;
  std::u16string line;
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                                (static_cast<uint8_t>(bytes[i + 1]) << 8));
    if (unit != u'\n') {
      line.push_back(unit);
      continue;
    }
    if (!line.empty() && line.back() == u'\r')
      line.pop_back();
    lines.push_back(LineToUtf8(line));
    line.clear();
  }
  if (!line.empty())
    lines.push_back(LineToUtf8(line));
  return lines;
}

bool ReadLogFileLines(const std::string& path, std::vector<std::string>* lines) {
  lines->clear();
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return false;
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  *lines = DecodeUtf16LeLines(bytes);
  return true;
}

}  // namespace host
}  // namespace nuv
