#include "src/values/record_text_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/utf8.h"
#include "src/values/value_record.h"

namespace {

using Node = CNuvFlatNode;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

class CNuvCanonicalReader {
 public:
  CNuvCanonicalReader(const std::string& text, CNuvFlatRecords* records)
      : m_begin(text.data()),
        m_at(text.data()),
        m_end(text.data() + text.size()),
        m_nodes(&records->nodes),
        m_unescaped(&records->unescaped) {}

  bool Read() {
    SkipSpaces();
    if (!Element(0))
      return false;
    SkipSpaces();
    return m_at == m_end;
  }

 private:
  void SkipSpaces() {
    while (m_at < m_end && IsSpace(*m_at))
      ++m_at;
  }

  // After a value: the end, white space or a structural character.
  bool Delimited() const {
    return m_at == m_end || IsSpace(*m_at) || *m_at == ',' || *m_at == ']' || *m_at == '}';
  }

  bool Element(int depth) {
    if (m_at == m_end)
      return false;
    if (*m_at == '[')
      return Array(depth);
    if (*m_at == '{')
      return Record();
    // Where a record was expected, a plain value only needs to be valid.
    if (!Scalar(&m_ignored))
      return false;
    m_nodes->emplace_back();
    m_nodes->back().type = Node::Type::kNonRecord;
    return true;
  }

  bool Array(int depth) {
    if (depth >= kMaxArrayNesting)
      return false;
    ++m_at;  // [
    const size_t index = m_nodes->size();
    Node array;
    array.type = Node::Type::kArray;
    m_nodes->push_back(std::move(array));
    SkipSpaces();
    uint32_t count = 0;
    if (m_at < m_end && *m_at == ']') {
      ++m_at;
    } else {
      for (;;) {
        SkipSpaces();
        if (!Element(depth + 1))
          return false;
        if (++count > static_cast<uint32_t>(INT32_MAX))
          return false;
        SkipSpaces();
        if (m_at == m_end)
          return false;
        if (*m_at == ']') {
          ++m_at;
          break;
        }
        if (*m_at != ',')
          return false;
        ++m_at;
      }
    }
    (*m_nodes)[index].count = count;
    return true;
  }

  bool Record() {
    // Filled in place: a record holds only plain values, so no other node
    // is added before it is complete.
    m_nodes->emplace_back();
    Node& record = m_nodes->back();
    record.type = Node::Type::kRecord;
    if (!CompactRecord(&record)) {
      record = Node();
      record.type = Node::Type::kRecord;
      if (!MemberwiseRecord(&record))
        return false;
    }
    // Records with side effects (host objects, functions) take the full path.
    return !(record.hasTag && (TagIs(record, kTagComObject) || TagIs(record, kTagV8Function) ||
                               TagIs(record, kTagV8FunctionOtherBrowser)));
  }

  // The exact form both sides write, {"browserId":N,"value":V,"valueType":"T"}
  // with nothing between the parts, read straight through. Any other text
  // leaves m_at where it was, for the member-by-member reading, which
  // reads these texts to the same result.
  bool CompactRecord(Node* record) {
    const char* const start = m_at;
    const char* tagBegin = nullptr;
    const char* tagEnd = nullptr;
    if (Literal("{\"browserId\":") && m_at < m_end && Scalar(&m_ignored) &&
        Literal(",\"value\":") && m_at < m_end && Scalar(record) && Literal(",\"valueType\":") &&
        PlainString(&tagBegin, &tagEnd) && Literal("}")) {
      record->hasTag = true;
      record->tagBegin = tagBegin;
      record->tagEnd = tagEnd;
      return true;
    }
    m_at = start;
    return false;
  }

  bool MemberwiseRecord(Node* record) {
    ++m_at;  // {
    SkipSpaces();
    if (m_at < m_end && *m_at == '}') {
      ++m_at;
      return true;
    }
    for (;;) {
      SkipSpaces();
      const char* keyBegin = nullptr;
      const char* keyEnd = nullptr;
      if (!PlainString(&keyBegin, &keyEnd))
        return false;
      SkipSpaces();
      if (m_at == m_end || *m_at != ':')
        return false;
      ++m_at;
      SkipSpaces();
      if (!Member(keyBegin, keyEnd, record))
        return false;
      SkipSpaces();
      if (m_at == m_end)
        return false;
      if (*m_at == '}') {
        ++m_at;
        return true;
      }
      if (*m_at != ',')
        return false;
      ++m_at;
    }
  }

  template <size_t N>
  static bool TagIs(const Node& node, const char (&tag)[N]) {
    return static_cast<size_t>(node.tagEnd - node.tagBegin) == N - 1 &&
           std::memcmp(node.tagBegin, tag, N - 1) == 0;
  }

  template <size_t N>
  static bool KeyIs(const char* begin, const char* end, const char (&key)[N]) {
    return static_cast<size_t>(end - begin) == N - 1 && std::memcmp(begin, key, N - 1) == 0;
  }

  // One member: "valueType" and "value" are kept (a later one replaces an
  // earlier one, as in the reader); other members are only checked.
  bool Member(const char* keyBegin, const char* keyEnd, Node* record) {
    if (m_at == m_end)
      return false;
    if (KeyIs(keyBegin, keyEnd, kKeyValueType)) {
      if (*m_at == '"') {
        const char* begin = nullptr;
        const char* end = nullptr;
        if (!PlainString(&begin, &end))
          return false;
        record->hasTag = true;
        record->tagBegin = begin;
        record->tagEnd = end;
        return Delimited();
      }
      if (!Scalar(&m_ignored))
        return false;
      record->hasTag = false;
      return true;
    }
    // Only the field that `value.kind` names is read later, so a later "value"
    // simply overwrites what an earlier one left.
    if (KeyIs(keyBegin, keyEnd, kKeyValue))
      return Scalar(record);
    return Scalar(&m_ignored);
  }

  // A string, number, true, false or null into `node`'s value.
  bool Scalar(Node* node) {
    const char c = *m_at;
    if (c == '"') {
      node->value.kind = CNuvScalar::Kind::kString;
      return String(node) && Delimited();
    }
    if (c == '-' || IsDigit(c))
      return Number(node) && Delimited();
    if (Literal("true")) {
      node->value.kind = CNuvScalar::Kind::kBool;
      node->value.boolValue = true;
    } else if (Literal("false")) {
      node->value.kind = CNuvScalar::Kind::kBool;
      node->value.boolValue = false;
    } else if (Literal("null")) {
      node->value.kind = CNuvScalar::Kind::kNull;
    } else {
      return false;
    }
    return Delimited();
  }

  template <size_t N>
  bool Literal(const char (&word)[N]) {
    if (static_cast<size_t>(m_end - m_at) < N - 1 || std::memcmp(m_at, word, N - 1) != 0)
      return false;
    m_at += N - 1;
    return true;
  }

  // A string without escapes (keys and tags), left in place.
  bool PlainString(const char** begin, const char** end) {
    if (m_at == m_end || *m_at != '"')
      return false;
    // One pass: these strings are a few bytes long, shorter than what a
    // library search needs to pay off.
    const char* start = m_at + 1;
    const char* close = start;
    while (close < m_end && *close != '"' && *close != '\\')
      ++close;
    if (close == m_end || *close != '"')
      return false;
    *begin = start;
    *end = close;
    m_at = close + 1;
    return true;
  }

  // Four hex digits at m_at.
  bool Hex4(uint32_t* unit) {
    if (m_end - m_at < 4)
      return false;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = HexDigit(m_at[i]);
      if (digit < 0)
        return false;
      value = (value << 4) | static_cast<uint32_t>(digit);
    }
    m_at += 4;
    *unit = value;
    return true;
  }

  // A string with the usual escapes; bytes other than the quote and the
  // backslash are taken as they are, as the reader takes them. Without
  // escapes the node points into the text; with them the unescaped text
  // goes to the end of m_unescaped.
  bool String(Node* node) {
    ++m_at;  // "
    const char* plain = m_at;
    while (m_at < m_end && *m_at != '"' && *m_at != '\\')
      ++m_at;
    if (m_at == m_end)
      return false;
    if (*m_at == '"') {
      node->textUnescaped = false;
      node->textOffset = static_cast<uint32_t>(plain - m_begin);
      node->textLength = static_cast<uint32_t>(m_at - plain);
      ++m_at;
      return true;
    }
    const size_t offset = m_unescaped->size();
    m_unescaped->append(plain, static_cast<size_t>(m_at - plain));
    if (!Unescape(m_unescaped) || m_unescaped->size() - offset > UINT32_MAX || offset > UINT32_MAX)
      return false;
    node->textUnescaped = true;
    node->textOffset = static_cast<uint32_t>(offset);
    node->textLength = static_cast<uint32_t>(m_unescaped->size() - offset);
    return true;
  }

  // The rest of a string from a backslash at m_at, appended to `out`.
  bool Unescape(std::string* out) {
    for (;;) {
      const char* plain = m_at;
      while (m_at < m_end && *m_at != '"' && *m_at != '\\')
        ++m_at;
      out->append(plain, static_cast<size_t>(m_at - plain));
      if (m_at == m_end)
        return false;
      if (*m_at == '"') {
        ++m_at;
        return true;
      }
      ++m_at;  // backslash
      if (m_at == m_end)
        return false;
      const char escape = *m_at++;
      switch (escape) {
        case '"':
        case '/':
        case '\\':
          out->push_back(escape);
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'u': {
          uint32_t unit = 0;
          if (!Hex4(&unit))
            return false;
          if (unit >= 0xDC00 && unit <= 0xDFFF)
            return false;
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            uint32_t low = 0;
            if (m_end - m_at < 6 || m_at[0] != '\\' || m_at[1] != 'u')
              return false;
            m_at += 2;
            if (!Hex4(&low) || low < 0xDC00 || low > 0xDFFF)
              return false;
            unit = 0x10000 + ((unit & 0x3FF) << 10) + (low & 0x3FF);
          }
          nuv::platform::AppendUtf8(unit, out);
          break;
        }
        default:
          return false;
      }
    }
  }

  // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)? with at most 18 digits in
  // its integer part. Integers are kept as the reader keeps them: negative
  // ones and those up to 2^31-1 signed, larger ones unsigned.
  bool Number(Node* node) {
    const char* start = m_at;
    const bool negative = *m_at == '-';
    if (negative)
      ++m_at;
    const char* digits = m_at;
    while (m_at < m_end && IsDigit(*m_at))
      ++m_at;
    const size_t count = static_cast<size_t>(m_at - digits);
    if (count == 0 || count > 18 || (count > 1 && *digits == '0'))
      return false;
    bool real = false;
    if (m_at < m_end && *m_at == '.') {
      ++m_at;
      const char* fraction = m_at;
      while (m_at < m_end && IsDigit(*m_at))
        ++m_at;
      if (m_at == fraction)
        return false;
      real = true;
    }
    if (m_at < m_end && (*m_at == 'e' || *m_at == 'E')) {
      ++m_at;
      if (m_at < m_end && (*m_at == '+' || *m_at == '-'))
        ++m_at;
      const char* exponent = m_at;
      while (m_at < m_end && IsDigit(*m_at))
        ++m_at;
      if (m_at == exponent || m_at - exponent > 4)
        return false;
      real = true;
    }
    if (real) {
      double value = 0;
      const auto result = std::from_chars(start, m_at, value);
      if (result.ec != std::errc() || result.ptr != m_at || !std::isfinite(value))
        return false;
      // Results below the normal range (or rounded to zero) are left to the
      // reader, whose handling of underflow is its own.
      if (value != 0 ? std::fabs(value) < 2.2250738585072014e-308 : HasNonZeroDigit(start, m_at))
        return false;
      node->value.kind = CNuvScalar::Kind::kReal;
      node->value.realValue = value;
      return true;
    }
    uint64_t magnitude = 0;
    for (const char* p = digits; p < m_at; ++p)
      magnitude = magnitude * 10 + static_cast<uint64_t>(*p - '0');
    if (negative) {
      node->value.kind = CNuvScalar::Kind::kInt;
      node->value.intValue = -static_cast<int64_t>(magnitude);
    } else if (magnitude <= 2147483647u) {
      node->value.kind = CNuvScalar::Kind::kInt;
      node->value.intValue = static_cast<int64_t>(magnitude);
    } else {
      node->value.kind = CNuvScalar::Kind::kUInt;
      node->value.uintValue = magnitude;
    }
    return true;
  }

  // Whether the mantissa of a number text has a digit other than zero.
  static bool HasNonZeroDigit(const char* begin, const char* end) {
    for (const char* p = begin; p < end && *p != 'e' && *p != 'E'; ++p) {
      if (*p >= '1' && *p <= '9')
        return true;
    }
    return false;
  }

  const char* const m_begin;
  const char* m_at;
  const char* const m_end;
  std::vector<Node>* m_nodes;
  std::string* m_unescaped;
  // Where members that are only checked are read.
  Node m_ignored;
};

}  // namespace

bool ReadCanonicalRecordText(const std::string& text, CNuvFlatRecords* records) {
  records->nodes.clear();
  records->unescaped.clear();
  records->source = text.data();
  // Offsets into the text are 32-bit.
  if (text.size() > UINT32_MAX)
    return false;
  // A record of the compact form takes some 50 bytes or more.
  records->nodes.reserve(text.size() / 48 + 1);
  CNuvCanonicalReader reader(text, records);
  if (reader.Read())
    return true;
  records->nodes.clear();
  return false;
}
