// A quick reader for the record texts that the client and this process
// write: compact JSON of arrays and plain-value records (objects whose
// members are strings with the usual escapes, integers, reals, true, false
// and null). It reads such a text into a flat list of records in one pass,
// without building a Json::Value tree. Anything it does not fully
// understand it declines, and the caller reads the text with Json::Reader,
// whose acceptance rules stay the wire format: for every text this reader
// accepts, the reader accepts it too and the decoded values are the same.
#ifndef NUV_SRC_VALUES_RECORD_TEXT_READER_H_
#define NUV_SRC_VALUES_RECORD_TEXT_READER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "src/values/record_scalar.h"

// One node of a record text, in document order. An array node is followed
// by its `count` elements (each with its own elements after it).
struct CNuvFlatNode {
  enum class Type : unsigned char {
    kArray,
    kRecord,     // a JSON object
    kNonRecord,  // JSON null, a string, number or boolean where a record goes
  };
  Type type = Type::kNonRecord;
  // The record's "valueType" when it is a string without escapes; `hasTag`
  // false when it is missing or not a string.
  bool hasTag = false;
  // kString: where the unescaped text is (see CNuvFlatRecords::TextOf).
  bool textUnescaped = false;
  uint32_t count = 0;
  uint32_t textOffset = 0;
  uint32_t textLength = 0;
  const char* tagBegin = nullptr;
  const char* tagEnd = nullptr;
  // The record's "value" member (its text, for a string, is above).
  CNuvScalar value;
};

// The nodes of one record text. Strings without escapes stay in the text
// itself; the others are unescaped one after another into `unescaped`.
struct CNuvFlatRecords {
  std::vector<CNuvFlatNode> nodes;
  std::string unescaped;
  const char* source = nullptr;

  // A kString node's text, UTF-8 as the record text holds it.
  std::string_view TextOf(const CNuvFlatNode& node) const {
    const char* base = node.textUnescaped ? unescaped.data() : source;
    return std::string_view(base + node.textOffset, node.textLength);
  }
};

// Reads `text` into `records` (pointing into `text`; what `records` held
// before is dropped, its room kept). False when the text uses anything
// beyond the compact form described above: comments, other white space
// than blank, tab, CR and LF, keys or tags with escapes, members that are
// objects or arrays, records that make host objects or refer to functions,
// numbers with leading zeros, more than 18 digits or outside the normal
// range of a double, surrogate escapes that do not form a pair, arrays
// nested deeper than kMaxArrayNesting, anything but white space after the
// root value, or a text of 4 GB or more.
bool ReadCanonicalRecordText(const std::string& text, CNuvFlatRecords* records);

#endif  // NUV_SRC_VALUES_RECORD_TEXT_READER_H_
