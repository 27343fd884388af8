// The values a process message carries across the runtime's IPC: null,
// bool, 32-bit int, double, UTF-16 string and nested lists. Plain data with
// no dependency on the CEF classes, so that the client side can build and
// read messages without the runtime; the render side converts to and from
// CefListValue (list_value_convert.h).
#ifndef CEF_IPC_WIRE_VALUE_H_
#define CEF_IPC_WIRE_VALUE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace cefipc {

class WireValue;
using WireList = std::vector<WireValue>;

class WireValue {
 public:
  enum class Type : uint8_t { kNull = 0, kBool = 1, kInt = 2, kDouble = 3, kString = 4, kList = 5 };

  WireValue() = default;  // null
  static WireValue Null() { return WireValue(); }
  static WireValue Bool(bool value);
  static WireValue Int(int32_t value);
  static WireValue Double(double value);
  static WireValue String(std::u16string value);
  static WireValue List(WireList value);

  Type type() const { return type_; }
  bool is_null() const { return type_ == Type::kNull; }

  // Accessors answer a neutral value (false, 0, empty) for another type.
  bool GetBool() const { return type_ == Type::kBool && bool_; }
  int32_t GetInt() const { return type_ == Type::kInt ? int_ : 0; }
  double GetDouble() const { return type_ == Type::kDouble ? double_ : 0.0; }
  const std::u16string& GetString() const;
  const WireList& GetList() const;

  // Structural equality; doubles compare bit for bit so NaN equals itself.
  bool operator==(const WireValue& other) const;
  bool operator!=(const WireValue& other) const { return !(*this == other); }

  // A short readable form for logs and test failures, e.g. [1, "a", null].
  std::string ToDebugString() const;

 private:
  Type type_ = Type::kNull;
  bool bool_ = false;
  int32_t int_ = 0;
  double double_ = 0.0;
  std::u16string string_;
  WireList list_;
};

std::string ToDebugString(const WireList& list);

}  // namespace cefipc

#endif  // CEF_IPC_WIRE_VALUE_H_
