// A record's "value" member as the typed reads see it, whichever reader read
// the record: the quick record-text reader fills one directly, and a
// Json::Value is brought to the same form by ScalarOf. Both readers then go
// through the same rules, so that they cannot drift apart.
#ifndef NUV_SRC_VALUES_RECORD_SCALAR_H_
#define NUV_SRC_VALUES_RECORD_SCALAR_H_

#include <cstdint>

#include <json/value.h>

struct CNuvScalar {
  // kInt: integers from -2^63 to 2^31-1; kUInt: larger ones (as the
  // encoder writes unsigned values). kMissing: no member, or an object or
  // array. A string's text is kept by the reader, not here.
  enum class Kind : unsigned char { kMissing, kNull, kBool, kInt, kUInt, kReal, kString };

  Kind kind = Kind::kMissing;
  bool boolValue = false;
  // The one of these that `kind` names.
  union {
    int64_t intValue = 0;
    uint64_t uintValue;
    double realValue;
  };
};

CNuvScalar ScalarOf(const Json::Value& value);

// A boolean; numbers are true when not zero; false for every other kind.
bool ScalarBool(const CNuvScalar& scalar);

// A number as a double (booleans as 0 and 1); 0.0 for every other kind.
double ScalarDouble(const CNuvScalar& scalar);

#endif  // NUV_SRC_VALUES_RECORD_SCALAR_H_
