#include "cef/runtime/fresh_array.h"

#include <algorithm>

#include "cef/runtime/runtime_internal.h"

namespace cefrt {
namespace internal {

namespace {

// The texts of one array, in UTF-16 units, before V8 gets them.
constexpr size_t kMaxTextUnits = size_t{1} << 26;
// Elements an array gets room for at its first store (3 MB).
constexpr size_t kRoomAtOnce = size_t{1} << 17;

}  // namespace

FreshArray::~FreshArray() = default;

FreshArray::Element& FreshArray::ClearedElement(uint32_t index) {
  if (index >= elements_.size()) {
    // Elements usually all come, in order: room for all of them at once
    // while that is modest, then by doubling, never beyond the length.
    size_t size = std::max<size_t>(elements_.size() * 2, kRoomAtOnce);
    if (size <= index)
      size = static_cast<size_t>(index) + 1;
    elements_.resize(std::min<size_t>(size, length_));
  }
  // What an overwritten element held is given back: its handle's place for
  // the next handle, its text's room when it was the last text.
  Element& element = elements_[index];
  if (element.kind == Kind::kHandle) {
    handles_[element.offset].reset();
    free_handles_.push_back(element.offset);
  } else if (element.kind == Kind::kString && element.offset + element.size == texts_.size()) {
    texts_.resize(element.offset);
  }
  element = Element();
  return element;
}

void FreshArray::StoreUndefined(uint32_t index) {
  ClearedElement(index).kind = Kind::kUndefined;
}

void FreshArray::StoreNull(uint32_t index) {
  ClearedElement(index).kind = Kind::kNull;
}

void FreshArray::StoreBool(uint32_t index, bool value) {
  Element& element = ClearedElement(index);
  element.kind = Kind::kBool;
  element.flag = value;
}

void FreshArray::StoreNumber(uint32_t index, double value) {
  Element& element = ClearedElement(index);
  element.kind = Kind::kNumber;
  element.number = value;
}

bool FreshArray::StoreString(uint32_t index, const char16_t* text, size_t length) {
  if (length > kMaxTextUnits - texts_.size())
    return false;
  Element& element = ClearedElement(index);
  element.kind = Kind::kString;
  element.offset = static_cast<uint32_t>(texts_.size());
  element.size = static_cast<uint32_t>(length);
  texts_.append(text, length);
  return true;
}

void FreshArray::StoreHandle(uint32_t index, v8::Isolate* isolate, v8::Local<v8::Value> value) {
  Element& element = ClearedElement(index);
  element.kind = Kind::kHandle;
  auto handle = std::make_unique<v8::Global<v8::Value>>(isolate, value);
  if (free_handles_.empty()) {
    element.offset = static_cast<uint32_t>(handles_.size());
    handles_.push_back(std::move(handle));
  } else {
    element.offset = free_handles_.back();
    free_handles_.pop_back();
    handles_[element.offset] = std::move(handle);
  }
}

v8::Local<v8::Value> FreshArray::MakeElement(v8::Isolate* isolate, const Element& element) const {
  switch (element.kind) {
    case Kind::kHole:
      return v8::Local<v8::Value>();
    case Kind::kUndefined:
      return v8::Undefined(isolate);
    case Kind::kNull:
      return v8::Null(isolate);
    case Kind::kBool:
      return v8::Boolean::New(isolate, element.flag);
    case Kind::kNumber:
      return v8::Number::New(isolate, element.number);
    case Kind::kString:
      return ToV8String(isolate, texts_.data() + element.offset, element.size);
    case Kind::kHandle:
      return handles_[element.offset]->Get(isolate);
  }
  return v8::Local<v8::Value>();
}

v8::Local<v8::Array> FreshArray::Build(v8::Isolate* isolate, v8::Local<v8::Context> context) {
  v8::EscapableHandleScope scope(isolate);
  std::vector<v8::Local<v8::Value>> values(elements_.size());
  size_t made = 0;
  for (size_t i = 0; i < elements_.size(); ++i) {
    values[i] = MakeElement(isolate, elements_[i]);
    made += values[i].IsEmpty() ? 0 : 1;
  }
  if (made == length_)
    return scope.Escape(v8::Array::New(isolate, values.data(), values.size()));
  // Holes remain: the array keeps them, and gets its elements one by one
  // (defined, as the stores found nothing on the chain to call).
  v8::Local<v8::Array> array = v8::Array::New(isolate, static_cast<int>(length_));
  for (size_t i = 0; i < values.size(); ++i) {
    // A definition fails only while V8 is stopping all script; the rest
    // would fail the same way.
    if (!values[i].IsEmpty() &&
        array->CreateDataProperty(context, static_cast<uint32_t>(i), values[i]).IsNothing())
      break;
  }
  return scope.Escape(array);
}

void FreshArray::LeakHandles() {
  for (auto& handle : handles_)
    (void)handle.release();
}

}  // namespace internal
}  // namespace cefrt
