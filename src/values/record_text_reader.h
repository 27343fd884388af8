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
#include <vector>

// One node of a record text, in document order. An array node is followed
// by its `count` elements (each with its own elements after it).
struct CNuvFlatNode {
  enum class Type : unsigned char {
    kArray,
    kRecord,     // a JSON object
    kNonRecord,  // JSON null, a string, number or boolean where a record goes
  };
  // JSON type of a record's "value" member.
  enum class Scalar : unsigned char { kMissing, kNull, kBool, kInt, kUInt, kReal, kString };

  Type type = Type::kNonRecord;
  uint32_t count = 0;
  // The record's "valueType" when it is a string without escapes; `hasTag`
  // false when it is missing or not a string.
  bool hasTag = false;
  const char* tagBegin = nullptr;
  const char* tagEnd = nullptr;
  Scalar scalar = Scalar::kMissing;
  bool boolValue = false;
  // The one of these that `scalar` names.
  union {
    int64_t intValue = 0;  // kInt (as jsoncpp keeps it: a signed integer)
    uint64_t uintValue;    // kUInt
    double realValue;      // kReal
  };
  std::string text;  // kString, unescaped
};

// Reads `text` into `nodes` (pointing into `text`). False when the text
// uses anything beyond the compact form described above: comments, other
// white space than blank, tab, CR and LF, keys or tags with escapes, members
// that are objects or arrays, records that make host objects or refer to
// functions, numbers with leading zeros, more than 18 digits or outside the
// normal range of a double, surrogate escapes that do not form a pair,
// arrays nested deeper than kMaxArrayNesting, or anything but white space
// after the root value.
bool ReadCanonicalRecordText(const std::string& text, std::vector<CNuvFlatNode>* nodes);

#endif  // NUV_SRC_VALUES_RECORD_TEXT_READER_H_
