// The elements of an array made through CefV8Value::CreateArray, gathered
// in C++ until the array is first needed by V8, then given to V8 in one go.
//
// Storing elements one by one costs V8 a property lookup and a store each,
// most of the time of building a large array. While an array has never been
// seen by script, and while a store into it could only add an element (see
// script_epoch.h), the store is kept here instead; the first use of the
// array that needs V8 makes it with every element at once. Nothing can tell
// the difference: only the runtime refers to the array until then, and each
// kept store is one that V8 would have made without running any code.
#ifndef CEF_RUNTIME_FRESH_ARRAY_H_
#define CEF_RUNTIME_FRESH_ARRAY_H_

#include <v8.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cefrt {
namespace internal {

class FreshArray {
 public:
  // Arrays longer than this are made by V8 at once and filled one by one.
  static constexpr int kMaxLength = 1 << 20;
  // Looks through the chain one array may cost (each a few microseconds).
  static constexpr int kMaxLooks = 4;

  explicit FreshArray(uint32_t length) : length_(length) {}
  ~FreshArray();

  uint32_t length() const { return length_; }

  // Counts one more look through the prototype chain made for a store into
  // this array; false once there were so many that keeping the stores no
  // longer pays (page code keeps running between them): the array should
  // then go to V8 and take its stores one by one.
  bool CountLook() { return ++looks_ <= kMaxLooks; }

  // Keep a value for element |index| (below length()). Primitives are kept
  // by value, their texts side by side in one buffer; anything else by a
  // handle. A text is refused (false) once the buffer would pass its limit:
  // the store then goes to V8 instead.
  void StoreUndefined(uint32_t index);
  void StoreNull(uint32_t index);
  void StoreBool(uint32_t index, bool value);
  void StoreNumber(uint32_t index, double value);
  bool StoreString(uint32_t index, const char16_t* text, size_t length);
  void StoreHandle(uint32_t index, v8::Isolate* isolate, v8::Local<v8::Value> value);

  // Makes the array in the current context with the kept elements.
  v8::Local<v8::Array> Build(v8::Isolate* isolate, v8::Local<v8::Context> context);

  // Off the render thread the handles cannot be freed; they are left to the
  // isolate.
  void LeakHandles();

 private:
  enum class Kind : uint8_t { kHole, kUndefined, kNull, kBool, kNumber, kString, kHandle };
  struct Element {
    Kind kind = Kind::kHole;
    bool flag = false;
    double number = 0;
    // A text's place in texts_, or a handle's place in handles_.
    uint32_t offset = 0;
    uint32_t size = 0;
  };
  // Element |index|, made a hole again (room made for it when needed).
  Element& ClearedElement(uint32_t index);
  v8::Local<v8::Value> MakeElement(v8::Isolate* isolate, const Element& element) const;

  const uint32_t length_;
  int looks_ = 0;
  std::vector<Element> elements_;
  std::u16string texts_;
  std::vector<std::unique_ptr<v8::Global<v8::Value>>> handles_;
  std::vector<uint32_t> free_handles_;
};

}  // namespace internal
}  // namespace cefrt

#endif  // CEF_RUNTIME_FRESH_ARRAY_H_
