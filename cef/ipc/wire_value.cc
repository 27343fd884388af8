#include "cef/ipc/wire_value.h"

#include <cmath>
#include <cstring>
#include <sstream>

#include "cef/ipc/wire_text.h"

namespace cefipc {

namespace {

const std::u16string& EmptyString() {
  static const std::u16string* empty = new std::u16string();
  return *empty;
}

const WireList& EmptyList() {
  static const WireList* empty = new WireList();
  return *empty;
}

}  // namespace

WireValue WireValue::Bool(bool value) {
  WireValue v;
  v.type_ = Type::kBool;
  v.bool_ = value;
  return v;
}

WireValue WireValue::Int(int32_t value) {
  WireValue v;
  v.type_ = Type::kInt;
  v.int_ = value;
  return v;
}

WireValue WireValue::Double(double value) {
  WireValue v;
  v.type_ = Type::kDouble;
  v.double_ = value;
  return v;
}

WireValue WireValue::String(std::u16string value) {
  WireValue v;
  v.type_ = Type::kString;
  v.string_ = std::move(value);
  return v;
}

WireValue WireValue::List(WireList value) {
  WireValue v;
  v.type_ = Type::kList;
  v.list_ = std::move(value);
  return v;
}

const std::u16string& WireValue::GetString() const {
  return type_ == Type::kString ? string_ : EmptyString();
}

const WireList& WireValue::GetList() const {
  return type_ == Type::kList ? list_ : EmptyList();
}

bool WireValue::operator==(const WireValue& other) const {
  if (type_ != other.type_)
    return false;
  switch (type_) {
    case Type::kNull:
      return true;
    case Type::kBool:
      return bool_ == other.bool_;
    case Type::kInt:
      return int_ == other.int_;
    case Type::kDouble:
      return std::memcmp(&double_, &other.double_, sizeof(double_)) == 0;
    case Type::kString:
      return string_ == other.string_;
    case Type::kList:
      return list_ == other.list_;
  }
  return false;
}

std::string WireValue::ToDebugString() const {
  switch (type_) {
    case Type::kNull:
      return "null";
    case Type::kBool:
      return bool_ ? "true" : "false";
    case Type::kInt:
      return std::to_string(int_);
    case Type::kDouble: {
      std::ostringstream out;
      out.precision(17);
      out << double_;
      return out.str();
    }
    case Type::kString:
      return "\"" + Utf16ToUtf8(string_) + "\"";
    case Type::kList:
      return cefipc::ToDebugString(list_);
  }
  return "?";
}

std::string ToDebugString(const WireList& list) {
  std::string out = "[";
  for (size_t i = 0; i < list.size(); ++i) {
    if (i)
      out += ", ";
    out += list[i].ToDebugString();
  }
  return out + "]";
}

}  // namespace cefipc
