// CefV8Value over a V8 handle. Primitives stay usable after their context
// is released; objects, arrays and functions become invalid with their
// context. Object operations need a current context, as in CEF.
//
// Undefined, null, booleans, numbers, strings and dates are held by value
// while they sit in C++ and become a V8 value only when they are handed back
// to script (a date then becomes a new Date object each time). Only objects
// and other V8-only kinds (symbols, big integers) keep a global handle and
// an entry in the wrapper registry.
//
// As in CEF, a wrapper's kind is fixed when it is made: a number is an
// "int" when it is a 32-bit signed integer, else a "uint" when it is a 32-bit
// unsigned one, else a "double"; CreateInt/CreateUInt/CreateDouble give
// their own kind whatever the number. IsInt and IsUInt both answer "int or
// uint", IsDouble any number, and GetIntValue/GetUIntValue read the same 32
// bits of an int or uint as signed or unsigned.
//
// An array made by CreateArray gathers its elements in C++ until V8 first
// needs it (fresh_array.h).
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <typeinfo>
#include <unordered_set>

#include "cef/runtime/fresh_array.h"
#include "cef/runtime/misuse.h"
#include "cef/runtime/runtime_internal.h"
#include "cef/runtime/script_epoch.h"
#include "cef/runtime/script_recursion.h"

namespace cefrt {
namespace internal {

class CefV8ValueImpl final : public CefV8Value {
 public:
  // What a wrapper holds: a primitive by value, or a V8 handle.
  enum class Kind : unsigned char {
    kUndefined,
    kNull,
    kBool,
    kInt,
    kUInt,
    kDouble,
    kString,
    kDate,
    kHandle
  };

  // A handle; |is_object| is what value->IsObject() answers.
  CefV8ValueImpl(v8::Isolate* isolate,
                 v8::Local<v8::Value> value,
                 bool is_object,
                 std::shared_ptr<ContextState> state);
  // A primitive held by value (any kind but kHandle).
  explicit CefV8ValueImpl(Kind kind);
  // A new array of |state|'s context whose elements are still in C++.
  CefV8ValueImpl(std::unique_ptr<FreshArray> fresh, std::shared_ptr<ContextState> state);
  ~CefV8ValueImpl() override;

  // Wrappers come and go by the hundred thousand when a large array is
  // converted: their memory is recycled through a small per-thread list
  // instead of going back to the allocator each time.
  static void* operator new(size_t size);
  static void operator delete(void* memory, size_t size);

  void set_bool(bool value) { bool_ = value; }
  void set_number(double value) { number_ = value; }
  void set_date(const CefTime& value) { date_ = value; }
  void set_string(CefString value) { string_ = std::move(value); }

  // The handle; empty when the value is no longer valid.
  v8::Local<v8::Value> Handle(v8::Isolate* isolate);
  const ContextState* state() const { return state_.get(); }
  bool is_object() const { return is_object_; }
  void Invalidate() {
    handle_.reset();
    fresh_.reset();
  }

  bool IsValid() override;
  bool IsUndefined() override {
    return Test(kind_ == Kind::kUndefined, &v8::Value::IsUndefined, CEFRT_HERE);
  }
  bool IsNull() override { return Test(kind_ == Kind::kNull, &v8::Value::IsNull, CEFRT_HERE); }
  bool IsBool() override { return Test(kind_ == Kind::kBool, &v8::Value::IsBoolean, CEFRT_HERE); }
  bool IsInt() override { return Test(is_integer(), &v8::Value::IsInt32, CEFRT_HERE); }
  bool IsUInt() override { return Test(is_integer(), &v8::Value::IsUint32, CEFRT_HERE); }
  bool IsDouble() override { return Test(is_number(), &v8::Value::IsNumber, CEFRT_HERE); }
  bool IsDate() override { return Test(kind_ == Kind::kDate, &v8::Value::IsDate, CEFRT_HERE); }
  bool IsString() override {
    return Test(kind_ == Kind::kString, &v8::Value::IsString, CEFRT_HERE);
  }
  bool IsObject() override { return Test(false, &v8::Value::IsObject, CEFRT_HERE); }
  bool IsArray() override { return Test(false, &v8::Value::IsArray, CEFRT_HERE); }
  bool IsFunction() override { return Test(false, &v8::Value::IsFunction, CEFRT_HERE); }
  bool IsSame(CefRefPtr<CefV8Value> that) override;
  bool GetBoolValue() override;
  int32 GetIntValue() override;
  uint32 GetUIntValue() override;
  double GetDoubleValue() override;
  CefTime GetDateValue() override;
  CefString GetStringValue() override;
  bool IsUserCreated() override;
  bool HasException() override;
  CefRefPtr<CefV8Exception> GetException() override;
  bool ClearException() override;
  bool WillRethrowExceptions() override;
  bool SetRethrowExceptions(bool rethrow) override;
  bool HasValue(const CefString& key) override;
  bool HasValue(int index) override;
  bool DeleteValue(const CefString& key) override;
  bool DeleteValue(int index) override;
  CefRefPtr<CefV8Value> GetValue(const CefString& key) override;
  CefRefPtr<CefV8Value> GetValue(int index) override;
  bool SetValue(const CefString& key,
                CefRefPtr<CefV8Value> value,
                PropertyAttribute attribute) override;
  bool SetValue(int index, CefRefPtr<CefV8Value> value) override;
  bool SetValue(const CefString& key, AccessControl settings, PropertyAttribute attribute) override;
  bool GetKeys(std::vector<CefString>& keys) override;
  bool SetUserData(CefRefPtr<CefBase> user_data) override;
  CefRefPtr<CefBase> GetUserData() override;
  int GetExternallyAllocatedMemory() override;
  int AdjustExternallyAllocatedMemory(int change_in_bytes) override;
  int GetArrayLength() override;
  CefString GetFunctionName() override;
  CefRefPtr<CefV8Handler> GetFunctionHandler() override;
  CefRefPtr<CefV8Value> ExecuteFunction(CefRefPtr<CefV8Value> object,
                                        const CefV8ValueList& arguments) override;
  CefRefPtr<CefV8Value> ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                   CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) override;

 private:
  // The set-up every object operation shares: the render thread, a valid
  // object and a current context.
  struct ObjectEnv {
    v8::Isolate* isolate = nullptr;
    std::optional<v8::HandleScope> scope;
    v8::Local<v8::Context> context;
    v8::Local<v8::Object> object;
  };
  // |here| names the calling function in misuse reports (CEFRT_HERE).
  bool BeginObject(ObjectEnv* env, const char* here);
  // A valid object on the render thread (no context needed).
  bool ObjectUsable(const char* here) {
    if (is_object_ && IsValid())
      return true;
    ReportObjectMisuse(here, false);
    return false;
  }
  // Says why an object call cannot run, in the order CEF checks: the
  // thread, a valid handle, an object, then (|needs_context|) a current
  // context. Debug builds only.
  void ReportObjectMisuse(const char* here, bool needs_context);
  // As the index calls check it: a negative index is refused.
  static bool IndexUsable(int index, const char* here) {
    if (index >= 0)
      return true;
    CEFRT_REPORT_MISUSE_AT(here, kInvalidInput);
    return false;
  }
  // After an operation under |try_catch|: records the exception (and
  // rethrows it when asked to); true when one was caught.
  bool HasCaught(ObjectEnv* env, v8::TryCatch& try_catch);
  // |light| answers for a primitive held by value, |test| for a handle.
  bool Test(bool light, bool (v8::Value::*test)() const, const char* here);
  CefRefPtr<CefV8Value> Wrap(ObjectEnv* env, v8::Local<v8::Value> value);
  bool is_light() const { return kind_ != Kind::kHandle; }
  // A primitive held by value is usable on the render thread of the
  // runtime it was made under.
  bool LightUsable() const;
  bool is_integer() const { return kind_ == Kind::kInt || kind_ == Kind::kUInt; }
  bool is_number() const { return is_integer() || kind_ == Kind::kDouble; }
  // The 32 bits an int or uint holds.
  uint32_t integer_bits() const;
  bool SameLight(const CefV8ValueImpl& other) const;
  // Keeps |value| as element |index| of a fresh array; false when the store
  // has to go to V8 (which then makes the array first).
  bool StoreFresh(int index, const CefRefPtr<CefV8Value>& value);
  // Whether a store into this fresh array still only adds an element.
  bool StoresStayQuiet(v8::Isolate* isolate);
  // Gives a fresh array's elements to V8: from now on it is a handle.
  void MakeFreshArray(v8::Isolate* isolate);
  bool FreshUsable() const { return fresh_ && state_ && state_->valid; }

  Kind kind_ = Kind::kHandle;
  bool bool_ = false;
  double number_ = 0;
  CefString string_;
  CefTime date_;
  uint64_t generation_ = 0;
  std::unique_ptr<v8::Global<v8::Value>> handle_;
  std::unique_ptr<FreshArray> fresh_;
  std::shared_ptr<ContextState> state_;
  bool is_object_ = false;
  bool rethrow_ = false;
  CefRefPtr<CefV8Exception> last_exception_;
  IMPLEMENT_REFCOUNTING(CefV8ValueImpl);
};

namespace {

std::mutex g_registry_lock;
std::unordered_set<CefV8ValueImpl*>& Registry() {
  static auto* registry = new std::unordered_set<CefV8ValueImpl*>();
  return *registry;
}

// Advanced when the runtime drops every value: primitives held by value
// from before then are no longer valid, as handles would not be.
std::atomic<uint64_t> g_generation{1};

// A new script Date of |date| in the current context, at the time CEF
// gives it (a time it cannot convert is the epoch); empty outside a context.
v8::Local<v8::Value> NewDate(v8::Isolate* isolate, const CefTime& date) {
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  v8::Local<v8::Value> made;
  if (context.IsEmpty() || !v8::Date::New(context, date.GetDoubleT() * 1000).ToLocal(&made))
    return v8::Local<v8::Value>();
  return made;
}

// The class is final, so an exact type test is the same as a cast test
// and much cheaper.
CefV8ValueImpl* Impl(const CefRefPtr<CefV8Value>& value) {
  CefV8Value* raw = value.get();
  return raw && typeid(*raw) == typeid(CefV8ValueImpl) ? static_cast<CefV8ValueImpl*>(raw)
                                                       : nullptr;
}

// Recycled wrapper memory of this thread. Under the address sanitizer
// every wrapper goes back to the allocator, so that a use after release is
// still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kSpareWrappers = 0;
#else
constexpr size_t kSpareWrappers = 1024;
#endif

// Trivially destructible, so that its storage stays usable until the
// thread ends; the drain below empties it when the thread's objects go, and
// from then on wrappers go straight back to the allocator.
struct SpareWrappers {
  void* blocks[kSpareWrappers > 0 ? kSpareWrappers : 1];
  size_t count;
  bool closed;
};

thread_local SpareWrappers t_spare_wrappers;

struct SpareWrappersDrain {
  bool armed = false;
  ~SpareWrappersDrain() {
    SpareWrappers& spare = t_spare_wrappers;
    spare.closed = true;
    while (spare.count > 0)
      ::operator delete(spare.blocks[--spare.count]);
  }
};

thread_local SpareWrappersDrain t_spare_wrappers_drain;

}  // namespace

void* CefV8ValueImpl::operator new(size_t size) {
  SpareWrappers& spare = t_spare_wrappers;
  if (size == sizeof(CefV8ValueImpl) && spare.count > 0)
    return spare.blocks[--spare.count];
  return ::operator new(size);
}

void CefV8ValueImpl::operator delete(void* memory, size_t size) {
  SpareWrappers& spare = t_spare_wrappers;
  if (size == sizeof(CefV8ValueImpl) && spare.count < kSpareWrappers && !spare.closed) {
    // The first block kept on this thread arms the drain at thread exit.
    if (spare.count == 0)
      t_spare_wrappers_drain.armed = true;
    spare.blocks[spare.count++] = memory;
    return;
  }
  ::operator delete(memory);
}

CefV8ValueImpl::CefV8ValueImpl(Kind kind)
    : kind_(kind), generation_(g_generation.load(std::memory_order_relaxed)) {}

bool CefV8ValueImpl::LightUsable() const {
  return generation_ == g_generation.load(std::memory_order_relaxed);
}

uint32_t CefV8ValueImpl::integer_bits() const {
  // An int holds a value of int32's range, a uint one of uint32's.
  return kind_ == Kind::kInt ? static_cast<uint32_t>(static_cast<int32_t>(number_))
                             : static_cast<uint32_t>(number_);
}

// Strict equality of two primitives held by value.
bool CefV8ValueImpl::SameLight(const CefV8ValueImpl& other) const {
  if (kind_ != other.kind_)
    return false;
  switch (kind_) {
    case Kind::kBool:
      return bool_ == other.bool_;
    case Kind::kInt:
    case Kind::kUInt:
    case Kind::kDouble:
      return number_ == other.number_;
    case Kind::kDate:
      return CefTime(date_).GetTimeT() == CefTime(other.date_).GetTimeT();
    case Kind::kString:
      return string_.length() == other.string_.length() &&
             std::char_traits<char16_t>::compare(
                 reinterpret_cast<const char16_t*>(string_.c_str()),
                 reinterpret_cast<const char16_t*>(other.string_.c_str()), string_.length()) == 0;
    default:
      return true;
  }
}

CefV8ValueImpl::CefV8ValueImpl(v8::Isolate* isolate,
                               v8::Local<v8::Value> value,
                               bool is_object,
                               std::shared_ptr<ContextState> state)
    : handle_(std::make_unique<v8::Global<v8::Value>>(isolate, value)), is_object_(is_object) {
  if (is_object_)
    state_ = std::move(state);
  std::lock_guard<std::mutex> lock(g_registry_lock);
  Registry().insert(this);
}

CefV8ValueImpl::CefV8ValueImpl(std::unique_ptr<FreshArray> fresh,
                               std::shared_ptr<ContextState> state)
    : fresh_(std::move(fresh)), state_(std::move(state)), is_object_(true) {
  std::lock_guard<std::mutex> lock(g_registry_lock);
  Registry().insert(this);
}

CefV8ValueImpl::~CefV8ValueImpl() {
  if (is_light())
    return;
  {
    std::lock_guard<std::mutex> lock(g_registry_lock);
    Registry().erase(this);
  }
  // A handle may only be freed on the isolate's thread; elsewhere it is
  // left to the isolate (releasing a value off the render thread is a
  // caller error that must not crash).
  if (!CurrentIsolate()) {
    if (handle_)
      (void)handle_.release();
    if (fresh_)
      fresh_->LeakHandles();
  }
}

void CefV8ValueImpl::MakeFreshArray(v8::Isolate* isolate) {
  std::unique_ptr<FreshArray> fresh = std::move(fresh_);
  v8::HandleScope scope(isolate);
  v8::Local<v8::Context> context = state_->context.Get(isolate);
  v8::Context::Scope context_scope(context);
  handle_ = std::make_unique<v8::Global<v8::Value>>(isolate, fresh->Build(isolate, context));
}

bool CefV8ValueImpl::StoresStayQuiet(v8::Isolate* isolate) {
  bool looked = false;
  const bool quiet = ArrayStoresAreQuiet(isolate, *state_, &looked);
  return quiet && (!looked || fresh_->CountLook());
}

bool CefV8ValueImpl::StoreFresh(int index, const CefRefPtr<CefV8Value>& value) {
  v8::Isolate* isolate = CurrentIsolate();
  CefV8ValueImpl* element = Impl(value);
  // What the store into V8 would need: a current context and a value.
  if (!isolate || !element || element == this || !FreshUsable() || !isolate->InContext() ||
      static_cast<uint32_t>(index) >= fresh_->length())
    return false;
  const uint32_t at = static_cast<uint32_t>(index);
  if (!element->is_light()) {
    v8::HandleScope scope(isolate);
    // A fresh array stored into another is made now.
    v8::Local<v8::Value> handle = element->Handle(isolate);
    if (handle.IsEmpty() || !fresh_ || !StoresStayQuiet(isolate))
      return false;
    fresh_->StoreHandle(at, isolate, handle);
    return true;
  }
  if (!element->LightUsable() || !StoresStayQuiet(isolate))
    return false;
  switch (element->kind_) {
    case Kind::kUndefined:
      fresh_->StoreUndefined(at);
      return true;
    case Kind::kNull:
      fresh_->StoreNull(at);
      return true;
    case Kind::kBool:
      fresh_->StoreBool(at, element->bool_);
      return true;
    case Kind::kInt:
    case Kind::kUInt:
    case Kind::kDouble:
      fresh_->StoreNumber(at, element->number_);
      return true;
    case Kind::kDate:
      // A new Date object each time: only V8 can make it.
      return false;
    case Kind::kString:
      return fresh_->StoreString(at, reinterpret_cast<const char16_t*>(element->string_.c_str()),
                                 element->string_.length());
    case Kind::kHandle:
      break;
  }
  return false;
}

v8::Local<v8::Value> CefV8ValueImpl::Handle(v8::Isolate* isolate) {
  if (is_light()) {
    if (!LightUsable())
      return v8::Local<v8::Value>();
    switch (kind_) {
      case Kind::kUndefined:
        return v8::Undefined(isolate);
      case Kind::kNull:
        return v8::Null(isolate);
      case Kind::kBool:
        return v8::Boolean::New(isolate, bool_);
      case Kind::kInt:
      case Kind::kUInt:
      case Kind::kDouble:
        return v8::Number::New(isolate, number_);
      case Kind::kDate:
        return NewDate(isolate, date_);
      default:
        return ToV8String(isolate, string_);
    }
  }
  if (FreshUsable())
    MakeFreshArray(isolate);
  if (!handle_ || (state_ && !state_->valid))
    return v8::Local<v8::Value>();
  return handle_->Get(isolate);
}

bool CefV8ValueImpl::IsValid() {
  if (is_light())
    return CurrentIsolate() && LightUsable();
  return CurrentIsolate() && (fresh_ || (handle_ && !handle_->IsEmpty())) &&
         (!state_ || state_->valid);
}

bool CefV8ValueImpl::Test(bool light, bool (v8::Value::*test)() const, const char* here) {
  v8::Isolate* isolate = CurrentIsolate();
  if (!isolate) {
    CEFRT_REPORT_MISUSE_AT(here, NoIsolateReason());
    return false;
  }
  if (is_light())
    return light && LightUsable();
  if (FreshUsable())
    return test == &v8::Value::IsObject || test == &v8::Value::IsArray;
  v8::HandleScope scope(isolate);
  v8::Local<v8::Value> v = Handle(isolate);
  if (v.IsEmpty())
    return false;
  v8::Value* raw = *v;
  return (raw->*test)();
}

bool CefV8ValueImpl::IsSame(CefRefPtr<CefV8Value> that) {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, false);
  CefV8ValueImpl* other = Impl(that);
  if (!other)
    return false;
  if (is_light() || other->is_light()) {
    // A primitive held by value is never the same as a handle: those are
    // objects, symbols and big integers.
    return is_light() && other->is_light() && LightUsable() && other->LightUsable() &&
           SameLight(*other);
  }
  v8::HandleScope scope(isolate);
  v8::Local<v8::Value> a = Handle(isolate);
  v8::Local<v8::Value> b = other->Handle(isolate);
  if (a.IsEmpty() || b.IsEmpty())
    return false;
  if (a->IsObject() || b->IsObject())
    return a == b;
  return a->StrictEquals(b);
}

bool CefV8ValueImpl::GetBoolValue() {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, false);
  if (is_light())
    return kind_ == Kind::kBool && LightUsable() && bool_;
  v8::HandleScope scope(isolate);
  v8::Local<v8::Value> v = Handle(isolate);
  return !v.IsEmpty() && v->IsTrue();
}

int32 CefV8ValueImpl::GetIntValue() {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, 0);
  // Only an int or a uint has an integer value (a handle is never a number).
  return is_integer() && LightUsable() ? static_cast<int32>(integer_bits()) : 0;
}

uint32 CefV8ValueImpl::GetUIntValue() {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, 0);
  return is_integer() && LightUsable() ? integer_bits() : 0;
}

double CefV8ValueImpl::GetDoubleValue() {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, 0);
  return is_number() && LightUsable() ? number_ : 0;
}

CefTime CefV8ValueImpl::GetDateValue() {
  // What CEF answers for anything but a date: the time of 0 seconds, which
  // its time conversion breaks down as 1601-01-01.
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), CefTime(0.0));
  if (kind_ == Kind::kDate && LightUsable())
    return date_;
  return CefTime(0.0);
}

CefString CefV8ValueImpl::GetStringValue() {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, CefString());
  if (is_light())
    return kind_ == Kind::kString && LightUsable() ? string_ : CefString();
  v8::HandleScope scope(isolate);
  v8::Local<v8::Value> v = Handle(isolate);
  return !v.IsEmpty() && v->IsString() ? ToCefString(isolate, v) : CefString();
}

bool CefV8ValueImpl::BeginObject(ObjectEnv* env, const char* here) {
  env->isolate = CurrentIsolate();
  if (!env->isolate || !is_object_) {
    ReportObjectMisuse(here, true);
    return false;
  }
  env->scope.emplace(env->isolate);
  env->context = env->isolate->GetCurrentContext();
  // is_object_ was answered by V8 when the handle was taken, and a handle
  // never changes what it refers to.
  v8::Local<v8::Value> v = Handle(env->isolate);
  if (env->context.IsEmpty() || v.IsEmpty()) {
    ReportObjectMisuse(here, true);
    return false;
  }
  env->object = v.As<v8::Object>();
  return true;
}

void CefV8ValueImpl::ReportObjectMisuse(const char* here, bool needs_context) {
  if (!kReportMisuse)
    return;
  v8::Isolate* isolate = CurrentIsolate();
  // A primitive has no handle in CEF ("V8 handle is not valid" there); the
  // report names the actual fault.
  const char* what = !isolate                                 ? NoIsolateReason()
                     : !is_object_                            ? kNotAnObject
                     : !IsValid()                             ? kHandleNotValid
                     : needs_context && !isolate->InContext() ? kNoCurrentContext
                                                              : nullptr;
  if (what)
    CEFRT_REPORT_MISUSE_AT(here, what);
}

bool CefV8ValueImpl::HasCaught(ObjectEnv* env, v8::TryCatch& try_catch) {
  // As CEF: an operation that throws nothing clears the last exception.
  if (!try_catch.HasCaught()) {
    last_exception_ = nullptr;
    return false;
  }
  last_exception_ = MakeException(env->isolate, env->context, try_catch.Message());
  if (rethrow_)
    try_catch.ReThrow();
  return true;
}

CefRefPtr<CefV8Value> CefV8ValueImpl::Wrap(ObjectEnv* env, v8::Local<v8::Value> value) {
  // Only objects belong to a context; its record is looked up only for them.
  return WrapValueIn(env->isolate, value, env->context);
}

bool CefV8ValueImpl::IsUserCreated() {
  ObjectEnv env;
  return BeginObject(&env, CEFRT_HERE) &&
         TrackerOf(env.isolate, env.context, env.object) != nullptr;
}

// The exception state of an object needs no current context in CEF.
bool CefV8ValueImpl::HasException() {
  return ObjectUsable(CEFRT_HERE) && last_exception_ != nullptr;
}

CefRefPtr<CefV8Exception> CefV8ValueImpl::GetException() {
  return ObjectUsable(CEFRT_HERE) ? last_exception_ : nullptr;
}

bool CefV8ValueImpl::ClearException() {
  if (!ObjectUsable(CEFRT_HERE))
    return false;
  last_exception_ = nullptr;
  return true;
}

bool CefV8ValueImpl::WillRethrowExceptions() {
  return ObjectUsable(CEFRT_HERE) && rethrow_;
}

bool CefV8ValueImpl::SetRethrowExceptions(bool rethrow) {
  if (!ObjectUsable(CEFRT_HERE))
    return false;
  rethrow_ = rethrow;
  return true;
}

bool CefV8ValueImpl::HasValue(const CefString& key) {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return false;
  ScriptRunScope script;
  v8::TryCatch try_catch(env.isolate);
  bool has = env.object->Has(env.context, ToV8String(env.isolate, key)).FromMaybe(false);
  return !try_catch.HasCaught() && has;
}

bool CefV8ValueImpl::HasValue(int index) {
  ObjectEnv env;
  if (!IndexUsable(index, CEFRT_HERE) || !BeginObject(&env, CEFRT_HERE))
    return false;
  ScriptRunScope script;
  v8::TryCatch try_catch(env.isolate);
  bool has = env.object->Has(env.context, static_cast<uint32_t>(index)).FromMaybe(false);
  return !try_catch.HasCaught() && has;
}

bool CefV8ValueImpl::DeleteValue(const CefString& key) {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return false;
  ScriptRunScope script;
  v8::TryCatch try_catch(env.isolate);
  try_catch.SetVerbose(true);
  v8::Maybe<bool> deleted = env.object->Delete(env.context, ToV8String(env.isolate, key));
  return !HasCaught(&env, try_catch) && deleted.FromMaybe(false);
}

bool CefV8ValueImpl::DeleteValue(int index) {
  ObjectEnv env;
  if (!IndexUsable(index, CEFRT_HERE) || !BeginObject(&env, CEFRT_HERE))
    return false;
  ScriptRunScope script;
  v8::TryCatch try_catch(env.isolate);
  try_catch.SetVerbose(true);
  v8::Maybe<bool> deleted = env.object->Delete(env.context, static_cast<uint32_t>(index));
  return !HasCaught(&env, try_catch) && deleted.FromMaybe(false);
}

CefRefPtr<CefV8Value> CefV8ValueImpl::GetValue(const CefString& key) {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return nullptr;
  ScriptRunScope script;
  v8::TryCatch try_catch(env.isolate);
  try_catch.SetVerbose(true);
  v8::MaybeLocal<v8::Value> result = env.object->Get(env.context, ToV8String(env.isolate, key));
  if (HasCaught(&env, try_catch) || result.IsEmpty())
    return nullptr;
  return Wrap(&env, result.ToLocalChecked());
}

CefRefPtr<CefV8Value> CefV8ValueImpl::GetValue(int index) {
  ObjectEnv env;
  if (!IndexUsable(index, CEFRT_HERE) || !BeginObject(&env, CEFRT_HERE))
    return nullptr;
  ScriptRunScope script;
  v8::TryCatch try_catch(env.isolate);
  try_catch.SetVerbose(true);
  v8::MaybeLocal<v8::Value> result = env.object->Get(env.context, static_cast<uint32_t>(index));
  if (HasCaught(&env, try_catch) || result.IsEmpty())
    return nullptr;
  return Wrap(&env, result.ToLocalChecked());
}

bool CefV8ValueImpl::SetValue(const CefString& key,
                              CefRefPtr<CefV8Value> value,
                              PropertyAttribute attribute) {
  ObjectEnv env;
  v8::Local<v8::Value> v;
  if (!BeginObject(&env, CEFRT_HERE))
    return false;
  if (!UnwrapValue(value, env.isolate, &v)) {
    CEFRT_REPORT_MISUSE(kInvalidInput);
    return false;
  }
  if (attribute == V8_PROPERTY_ATTRIBUTE_NONE) {
    // As CEF: a plain assignment, so setters, accessors and proxies run.
    ScriptRunScope script;
    v8::TryCatch try_catch(env.isolate);
    try_catch.SetVerbose(true);
    v8::Maybe<bool> set = env.object->Set(env.context, ToV8String(env.isolate, key), v);
    return !HasCaught(&env, try_catch) && set.FromMaybe(false);
  }
  v8::TryCatch try_catch(env.isolate);
  try_catch.SetVerbose(true);
  NoteObjectChanging(env.object);
  v8::Maybe<bool> set = env.object->DefineOwnProperty(
      env.context, ToV8String(env.isolate, key), v, static_cast<v8::PropertyAttribute>(attribute));
  NoteObjectChanging(env.object);
  return !HasCaught(&env, try_catch) && set.FromMaybe(false);
}

bool CefV8ValueImpl::SetValue(int index, CefRefPtr<CefV8Value> value) {
  if (fresh_ && index >= 0 && StoreFresh(index, value))
    return true;
  ObjectEnv env;
  v8::Local<v8::Value> v;
  if (!IndexUsable(index, CEFRT_HERE) || !BeginObject(&env, CEFRT_HERE))
    return false;
  if (!UnwrapValue(value, env.isolate, &v)) {
    CEFRT_REPORT_MISUSE(kInvalidInput);
    return false;
  }
  ScriptRunScope script;
  v8::TryCatch try_catch(env.isolate);
  try_catch.SetVerbose(true);
  v8::Maybe<bool> set = env.object->Set(env.context, static_cast<uint32_t>(index), v);
  return !HasCaught(&env, try_catch) && set.FromMaybe(false);
}

bool CefV8ValueImpl::SetValue(const CefString& key,
                              AccessControl settings,
                              PropertyAttribute attribute) {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return false;
  Tracker* tracker = TrackerOf(env.isolate, env.context, env.object);
  if (!tracker || !tracker->accessor)
    return false;
  // A read-only accessor property has no setter: script writes are ignored.
  v8::AccessorNameSetterCallback setter =
      (attribute & V8_PROPERTY_ATTRIBUTE_READONLY) ? nullptr : AccessorSetter;
  v8::TryCatch try_catch(env.isolate);
  try_catch.SetVerbose(true);
  NoteObjectChanging(env.object);
  // The accessor is found from the receiver of each read or write, as CEF
  // does, so an object that only inherits the property reaches none.
  v8::Maybe<bool> set =
      env.object->SetAccessor(env.context, ToV8String(env.isolate, key), AccessorGetter, setter,
                              v8::MaybeLocal<v8::Value>(), static_cast<v8::AccessControl>(settings),
                              static_cast<v8::PropertyAttribute>(attribute));
  NoteObjectChanging(env.object);
  return !HasCaught(&env, try_catch) && set.FromMaybe(false);
}

bool CefV8ValueImpl::GetKeys(std::vector<CefString>& keys) {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return false;
  ScriptRunScope script;
  v8::TryCatch try_catch(env.isolate);
  // As CEF: the enumerable names a for-in loop visits, inherited ones
  // included.
  v8::Local<v8::Array> names;
  if (!env.object->GetPropertyNames(env.context).ToLocal(&names))
    return false;
  for (uint32_t i = 0; i < names->Length(); ++i) {
    v8::Local<v8::Value> name;
    if (!names->Get(env.context, i).ToLocal(&name))
      continue;
    if (name->IsString()) {
      keys.push_back(ToCefString(env.isolate, name));
    } else if (name->IsNumber()) {
      v8::Local<v8::String> text;
      if (name->ToString(env.context).ToLocal(&text))
        keys.push_back(ToCefString(env.isolate, text));
    }
  }
  return !try_catch.HasCaught();
}

bool CefV8ValueImpl::SetUserData(CefRefPtr<CefBase> user_data) {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return false;
  Tracker* tracker = TrackerOf(env.isolate, env.context, env.object);
  if (!tracker)
    return false;
  CefRefPtr<CefBase> old = tracker->user_data;
  tracker->user_data = user_data;
  return true;
}

CefRefPtr<CefBase> CefV8ValueImpl::GetUserData() {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return nullptr;
  Tracker* tracker = TrackerOf(env.isolate, env.context, env.object);
  return tracker ? tracker->user_data : nullptr;
}

int CefV8ValueImpl::GetExternallyAllocatedMemory() {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return 0;
  Tracker* tracker = TrackerOf(env.isolate, env.context, env.object);
  return tracker ? tracker->external_memory : 0;
}

int CefV8ValueImpl::AdjustExternallyAllocatedMemory(int change_in_bytes) {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return 0;
  Tracker* tracker = TrackerOf(env.isolate, env.context, env.object);
  if (!tracker)
    return 0;
  // Never let the recorded amount go negative or overflow.
  long long total = static_cast<long long>(tracker->external_memory) + change_in_bytes;
  if (total < 0)
    total = 0;
  if (total > 0x7fffffff)
    total = 0x7fffffff;
  int applied = static_cast<int>(total) - tracker->external_memory;
  tracker->external_memory = static_cast<int>(total);
  env.isolate->AdjustAmountOfExternalAllocatedMemory(applied);
  return tracker->external_memory;
}

int CefV8ValueImpl::GetArrayLength() {
  if (FreshUsable()) {
    v8::Isolate* isolate = CurrentIsolate();
    if (isolate && isolate->InContext())
      return static_cast<int>(fresh_->length());
    ReportObjectMisuse(CEFRT_HERE, true);
    return 0;
  }
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return 0;
  if (!env.object->IsArray()) {
    CEFRT_REPORT_MISUSE(kNotAnArray);
    return 0;
  }
  return static_cast<int>(env.object.As<v8::Array>()->Length());
}

CefString CefV8ValueImpl::GetFunctionName() {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return CefString();
  if (!env.object->IsFunction()) {
    CEFRT_REPORT_MISUSE(kNotAFunction);
    return CefString();
  }
  return ToCefString(env.isolate, env.object.As<v8::Function>()->GetName());
}

CefRefPtr<CefV8Handler> CefV8ValueImpl::GetFunctionHandler() {
  ObjectEnv env;
  if (!BeginObject(&env, CEFRT_HERE))
    return nullptr;
  if (!env.object->IsFunction()) {
    CEFRT_REPORT_MISUSE(kNotAFunction);
    return nullptr;
  }
  Tracker* tracker = TrackerOf(env.isolate, env.context, env.object);
  return tracker ? tracker->handler : nullptr;
}

CefRefPtr<CefV8Value> CefV8ValueImpl::ExecuteFunction(CefRefPtr<CefV8Value> object,
                                                      const CefV8ValueList& arguments) {
  return ExecuteFunctionWithContext(nullptr, object, arguments);
}

CefRefPtr<CefV8Value> CefV8ValueImpl::ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                                 CefRefPtr<CefV8Value> object,
                                                                 const CefV8ValueList& arguments) {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, nullptr);
  v8::HandleScope scope(isolate);
  v8::Local<v8::Value> self = Handle(isolate);
  if (self.IsEmpty()) {
    ReportObjectMisuse(CEFRT_HERE, false);
    return nullptr;
  }
  if (!self->IsFunction()) {
    CEFRT_REPORT_MISUSE(kNotAFunction);
    return nullptr;
  }
  ObjectEnv env;
  env.isolate = isolate;
  env.object = self.As<v8::Object>();
  if (context) {
    std::shared_ptr<ContextState> state = StateOfWrapper(context);
    if (!state || !state->valid) {
      CEFRT_REPORT_MISUSE("invalid V8 context parameter");
      return nullptr;
    }
    env.context = state->context.Get(isolate);
  } else {
    env.context = isolate->GetCurrentContext();
  }
  if (env.context.IsEmpty()) {
    CEFRT_REPORT_MISUSE(kNoCurrentContext);
    return nullptr;
  }
  v8::Context::Scope context_scope(env.context);

  v8::Local<v8::Value> receiver;
  if (object) {
    if (!UnwrapValue(object, env.isolate, &receiver) || !receiver->IsObject()) {
      CEFRT_REPORT_MISUSE("invalid V8 object parameter");
      return nullptr;
    }
  } else {
    receiver = env.context->Global();
  }
  std::vector<v8::Local<v8::Value>> argv;
  argv.reserve(arguments.size());
  for (const auto& argument : arguments) {
    v8::Local<v8::Value> v;
    if (!UnwrapValue(argument, env.isolate, &v)) {
      CEFRT_REPORT_MISUSE("invalid V8 arguments parameter");
      return nullptr;
    }
    argv.push_back(v);
  }

  ScriptRunScope script;
  // As Blink's function calls: the outermost one runs a microtask
  // checkpoint when it returns, after the exception is recorded.
  ScriptRecursionScope recursion;
  v8::TryCatch try_catch(env.isolate);
  try_catch.SetVerbose(true);
  v8::MaybeLocal<v8::Value> result = env.object.As<v8::Function>()->Call(
      env.context, receiver, static_cast<int>(argv.size()), argv.data());
  if (HasCaught(&env, try_catch) || result.IsEmpty())
    return nullptr;
  return Wrap(&env, result.ToLocalChecked());
}

namespace {

using Kind = CefV8ValueImpl::Kind;

CefRefPtr<CefV8Value> MakeNumber(Kind kind, double value) {
  // One NaN, as V8 keeps it.
  if (std::isnan(value))
    value = std::numeric_limits<double>::quiet_NaN();
  auto* made = new CefV8ValueImpl(kind);
  made->set_number(value);
  return made;
}

// The kind CEF gives a number of script: int for V8's Int32 test, else
// uint for its Uint32 test, else double (-0 is neither).
CefRefPtr<CefV8Value> WrapNumber(v8::Local<v8::Value> value) {
  const double d = value.As<v8::Number>()->Value();
  if (value->IsInt32())
    return MakeNumber(Kind::kInt, d);
  return MakeNumber(value->IsUint32() ? Kind::kUInt : Kind::kDouble, d);
}

CefRefPtr<CefV8Value> MakeDate(const CefTime& date) {
  auto* made = new CefV8ValueImpl(Kind::kDate);
  made->set_date(date);
  return made;
}

CefRefPtr<CefV8Value> MakeBool(bool value) {
  auto* made = new CefV8ValueImpl(Kind::kBool);
  made->set_bool(value);
  return made;
}

// The text of a script string, read without an intermediate copy for
// short strings.
CefString ReadString(v8::Isolate* isolate, v8::Local<v8::String> s) {
  const int length = s->Length();
  constexpr int kShort = 256;
  if (length > kShort)
    return ToCefString(isolate, s);
  uint16_t buffer[kShort];
  s->Write(isolate, buffer, 0, length, v8::String::NO_NULL_TERMINATION);
  return CefString(reinterpret_cast<const CefString::char_type*>(buffer),
                   static_cast<size_t>(length), true);
}

// A primitive held by value for |value|; null for objects and the other
// kinds that need a handle. The header-inline tests come first.
CefRefPtr<CefV8Value> WrapLight(v8::Isolate* isolate, v8::Local<v8::Value> value) {
  if (value->IsString()) {
    auto* made = new CefV8ValueImpl(Kind::kString);
    made->set_string(ReadString(isolate, value.As<v8::String>()));
    return made;
  }
  if (value->IsNull())
    return new CefV8ValueImpl(Kind::kNull);
  if (value->IsUndefined())
    return new CefV8ValueImpl(Kind::kUndefined);
  if (value->IsNumber())
    return WrapNumber(value);
  if (value->IsBoolean())
    return MakeBool(value->IsTrue());
  // As CEF: a date is taken by its time, in seconds, at millisecond
  // precision; it is no longer the page's object.
  if (value->IsDate())
    return MakeDate(CefTime(value.As<v8::Date>()->ValueOf() / 1000.0));
  return nullptr;
}

}  // namespace

CefRefPtr<CefV8Value> WrapValue(v8::Isolate* isolate,
                                v8::Local<v8::Value> value,
                                std::shared_ptr<ContextState> state) {
  if (!isolate || value.IsEmpty())
    return nullptr;
  if (CefRefPtr<CefV8Value> light = WrapLight(isolate, value))
    return light;
  const bool is_object = value->IsObject();
  return new CefV8ValueImpl(isolate, value, is_object, is_object ? std::move(state) : nullptr);
}

CefRefPtr<CefV8Value> WrapValueIn(v8::Isolate* isolate,
                                  v8::Local<v8::Value> value,
                                  v8::Local<v8::Context> context) {
  if (!isolate || value.IsEmpty())
    return nullptr;
  if (CefRefPtr<CefV8Value> light = WrapLight(isolate, value))
    return light;
  const bool is_object = value->IsObject();
  return new CefV8ValueImpl(isolate, value, is_object, is_object ? StateOf(context) : nullptr);
}

bool UnwrapValue(const CefRefPtr<CefV8Value>& value,
                 v8::Isolate* isolate,
                 v8::Local<v8::Value>* out) {
  CefV8ValueImpl* impl = Impl(value);
  if (!impl || !isolate)
    return false;
  *out = impl->Handle(isolate);
  return !out->IsEmpty();
}

void InvalidateValuesOfContext(const ContextState* state) {
  std::lock_guard<std::mutex> lock(g_registry_lock);
  for (CefV8ValueImpl* value : Registry()) {
    if (value->is_object() && value->state() == state)
      value->Invalidate();
  }
}

void InvalidateAllValues() {
  g_generation.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard<std::mutex> lock(g_registry_lock);
  for (CefV8ValueImpl* value : Registry())
    value->Invalidate();
}

}  // namespace internal
}  // namespace cefrt

using cefrt::internal::CurrentIsolate;
using cefrt::internal::CurrentState;
using cefrt::internal::WrapValue;

using cefrt::internal::CefV8ValueImpl;
using Kind = CefV8ValueImpl::Kind;

// Primitives need only the render thread.
CefRefPtr<CefV8Value> CefV8Value::CreateUndefined() {
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), nullptr);
  return new CefV8ValueImpl(Kind::kUndefined);
}

CefRefPtr<CefV8Value> CefV8Value::CreateNull() {
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), nullptr);
  return new CefV8ValueImpl(Kind::kNull);
}

CefRefPtr<CefV8Value> CefV8Value::CreateBool(bool value) {
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), nullptr);
  return cefrt::internal::MakeBool(value);
}

CefRefPtr<CefV8Value> CefV8Value::CreateInt(int32 value) {
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), nullptr);
  return cefrt::internal::MakeNumber(Kind::kInt, value);
}

CefRefPtr<CefV8Value> CefV8Value::CreateUInt(uint32 value) {
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), nullptr);
  return cefrt::internal::MakeNumber(Kind::kUInt, value);
}

CefRefPtr<CefV8Value> CefV8Value::CreateDouble(double value) {
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), nullptr);
  return cefrt::internal::MakeNumber(Kind::kDouble, value);
}

CefRefPtr<CefV8Value> CefV8Value::CreateString(const CefString& value) {
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), nullptr);
  auto* made = new CefV8ValueImpl(Kind::kString);
  if (value.length() > static_cast<size_t>(v8::String::kMaxLength))
    cefrt::internal::LogError("a text is too long for a script string; the empty string is used");
  else
    made->set_string(value);
  return made;
}

// As CEF: a date needs only the render thread; it becomes a script Date
// when it is handed to script.
CefRefPtr<CefV8Value> CefV8Value::CreateDate(const CefTime& date) {
  CEFRT_REQUIRE_ISOLATE_RETURN(CurrentIsolate(), nullptr);
  return cefrt::internal::MakeDate(date);
}

CefRefPtr<CefV8Value> CefV8Value::CreateObject(CefRefPtr<CefV8Accessor> accessor) {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, nullptr);
  v8::HandleScope scope(isolate);
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  if (context.IsEmpty()) {
    CEFRT_REPORT_MISUSE(cefrt::internal::kNoCurrentContext);
    return nullptr;
  }
  v8::Local<v8::Object> object = v8::Object::New(isolate);
  auto tracker = std::make_unique<cefrt::internal::Tracker>();
  tracker->accessor = accessor;
  if (!cefrt::internal::AdoptTracker(isolate, context, object, std::move(tracker)))
    return nullptr;
  return WrapValue(isolate, object, CurrentState());
}

CefRefPtr<CefV8Value> CefV8Value::CreateArray(int length) {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, nullptr);
  v8::HandleScope scope(isolate);
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  if (context.IsEmpty()) {
    CEFRT_REPORT_MISUSE(cefrt::internal::kNoCurrentContext);
    return nullptr;
  }
  std::shared_ptr<cefrt::internal::ContextState> state = CurrentState();
  if (state && length > 0 && length <= cefrt::internal::FreshArray::kMaxLength) {
    return new CefV8ValueImpl(
        std::make_unique<cefrt::internal::FreshArray>(static_cast<uint32_t>(length)),
        std::move(state));
  }
  return WrapValue(isolate, v8::Array::New(isolate, length < 0 ? 0 : length), state);
}

CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& name,
                                                 CefRefPtr<CefV8Handler> handler) {
  v8::Isolate* isolate = CurrentIsolate();
  CEFRT_REQUIRE_ISOLATE_RETURN(isolate, nullptr);
  if (!handler) {
    CEFRT_REPORT_MISUSE("invalid parameter");
    return nullptr;
  }
  v8::HandleScope scope(isolate);
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  if (context.IsEmpty()) {
    CEFRT_REPORT_MISUSE(cefrt::internal::kNoCurrentContext);
    return nullptr;
  }
  auto tracker = std::make_unique<cefrt::internal::Tracker>();
  tracker->handler = handler;
  tracker->function_name = name;
  v8::Local<v8::Function> function;
  if (!v8::Function::New(context, cefrt::internal::FunctionCallback,
                         v8::External::New(isolate, tracker.get()))
           .ToLocal(&function))
    return nullptr;
  function->SetName(cefrt::internal::ToV8String(isolate, name));
  if (!cefrt::internal::AdoptTracker(isolate, context, function, std::move(tracker)))
    return nullptr;
  return WrapValue(isolate, function, CurrentState());
}
