#include "src/values/record_scalar.h"

CNuvScalar ScalarOf(const Json::Value& value) {
  CNuvScalar scalar;
  switch (value.type()) {
    case Json::nullValue:
      scalar.kind = CNuvScalar::Kind::kNull;
      break;
    case Json::booleanValue:
      scalar.kind = CNuvScalar::Kind::kBool;
      scalar.boolValue = value.asBool();
      break;
    case Json::intValue:
      // Json::Reader keeps every integer up to 2^63-1 signed.
      if (value.asInt64() <= INT32_MAX) {
        scalar.kind = CNuvScalar::Kind::kInt;
        scalar.intValue = value.asInt64();
      } else {
        scalar.kind = CNuvScalar::Kind::kUInt;
        scalar.uintValue = static_cast<uint64_t>(value.asInt64());
      }
      break;
    case Json::uintValue:
      scalar.kind = CNuvScalar::Kind::kUInt;
      scalar.uintValue = value.asUInt64();
      break;
    case Json::realValue:
      scalar.kind = CNuvScalar::Kind::kReal;
      scalar.realValue = value.asDouble();
      break;
    case Json::stringValue:
      scalar.kind = CNuvScalar::Kind::kString;
      break;
    default:
      break;
  }
  return scalar;
}

bool ScalarBool(const CNuvScalar& scalar) {
  switch (scalar.kind) {
    case CNuvScalar::Kind::kBool:
      return scalar.boolValue;
    case CNuvScalar::Kind::kInt:
      return scalar.intValue != 0;
    case CNuvScalar::Kind::kUInt:
      return scalar.uintValue != 0;
    case CNuvScalar::Kind::kReal:
      return scalar.realValue != 0.0;
    default:
      return false;
  }
}

double ScalarDouble(const CNuvScalar& scalar) {
  switch (scalar.kind) {
    case CNuvScalar::Kind::kBool:
      return scalar.boolValue ? 1.0 : 0.0;
    case CNuvScalar::Kind::kInt:
      return static_cast<double>(scalar.intValue);
    case CNuvScalar::Kind::kUInt:
      return static_cast<double>(scalar.uintValue);
    case CNuvScalar::Kind::kReal:
      return scalar.realValue;
    default:
      return 0.0;
  }
}
