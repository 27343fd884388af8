#include "host/client/log_file_reader.h"

#include <cstdint>
#include <fstream>
#include <iterator>

namespace nuv {
namespace host {
namespace {

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::vector<std::string> DecodeUtf16LeLines(const std::string& bytes) {
  std::vector<uint16_t> units;
  size_t start = 0;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE)
    start = 2;
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) |
                                          (static_cast<uint8_t>(bytes[i + 1]) << 8)));
  }

  std::vector<std::string> lines;
  std::string line;
  bool pending = false;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp == u'\n') {
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      lines.push_back(line);
      line.clear();
      pending = false;
      continue;
    }
    AppendUtf8(cp, &line);
    pending = true;
  }
  if (pending)
    lines.push_back(line);
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
