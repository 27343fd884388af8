// CefValue, CefBinaryValue, CefDictionaryValue and CefListValue as plain
// in-memory containers. Containers keep deep copies of what they are given
// and hand out their own nested containers by reference.
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "include/cef_values.h"

namespace {

// One stored value of any kind.
struct Slot {
  CefValueType type = VTYPE_NULL;
  bool b = false;
  int i = 0;
  double d = 0;
  CefString s;
  CefRefPtr<CefBinaryValue> binary;
  CefRefPtr<CefDictionaryValue> dict;
  CefRefPtr<CefListValue> list;
};

bool SlotsEqual(const Slot& a, const Slot& b) {
  if (a.type != b.type)
    return false;
  switch (a.type) {
    case VTYPE_BOOL:
      return a.b == b.b;
    case VTYPE_INT:
      return a.i == b.i;
    case VTYPE_DOUBLE:
      return a.d == b.d;
    case VTYPE_STRING:
      return a.s == b.s;
    case VTYPE_BINARY:
      return a.binary->IsEqual(b.binary);
    case VTYPE_DICTIONARY:
      return a.dict->IsEqual(b.dict);
    case VTYPE_LIST:
      return a.list->IsEqual(b.list);
    default:
      return true;
  }
}

Slot CopySlot(const Slot& from) {
  Slot to = from;
  if (from.type == VTYPE_DICTIONARY)
    to.dict = from.dict->Copy(false);
  else if (from.type == VTYPE_LIST)
    to.list = from.list->Copy();
  return to;
}

Slot MakeBinary(CefRefPtr<CefBinaryValue> v) {
  Slot s;
  if (v) {
    s.type = VTYPE_BINARY;
    s.binary = v->Copy();
  }
  return s;
}

Slot MakeDict(CefRefPtr<CefDictionaryValue> v) {
  Slot s;
  if (v) {
    s.type = VTYPE_DICTIONARY;
    s.dict = v->Copy(false);
  }
  return s;
}

Slot MakeList(CefRefPtr<CefListValue> v) {
  Slot s;
  if (v) {
    s.type = VTYPE_LIST;
    s.list = v->Copy();
  }
  return s;
}

CefRefPtr<CefValue> ValueFromSlot(const Slot& slot);
bool SlotFromValue(CefRefPtr<CefValue> value, Slot* slot);

class BinaryValueImpl : public CefBinaryValue {
 public:
  BinaryValueImpl(const void* data, size_t size)
      : data_(static_cast<const unsigned char*>(data),
              static_cast<const unsigned char*>(data) + (data ? size : 0)) {}

  bool IsValid() override { return true; }
  bool IsOwned() override { return false; }
  bool IsSame(CefRefPtr<CefBinaryValue> that) override { return that.get() == this; }
  bool IsEqual(CefRefPtr<CefBinaryValue> that) override {
    if (!that)
      return false;
    if (that->GetSize() != data_.size())
      return false;
    std::vector<unsigned char> other(data_.size());
    that->GetData(other.data(), other.size(), 0);
    return other == data_;
  }
  CefRefPtr<CefBinaryValue> Copy() override {
    return new BinaryValueImpl(data_.data(), data_.size());
  }
  size_t GetSize() override { return data_.size(); }
  size_t GetData(void* buffer, size_t buffer_size, size_t data_offset) override {
    if (!buffer || data_offset >= data_.size())
      return 0;
    size_t n = std::min(buffer_size, data_.size() - data_offset);
    std::memcpy(buffer, data_.data() + data_offset, n);
    return n;
  }

 private:
  std::vector<unsigned char> data_;
  IMPLEMENT_REFCOUNTING(BinaryValueImpl);
};

class ValueImpl : public CefValue {
 public:
  ValueImpl() {}
  explicit ValueImpl(const Slot& slot) : slot_(slot) {}

  bool IsValid() override { return true; }
  bool IsOwned() override { return false; }
  bool IsReadOnly() override { return false; }
  bool IsSame(CefRefPtr<CefValue> that) override { return that.get() == this; }
  bool IsEqual(CefRefPtr<CefValue> that) override {
    Slot other;
    return that && SlotFromValue(that, &other) && SlotsEqual(slot_, other);
  }
  CefRefPtr<CefValue> Copy() override { return new ValueImpl(CopySlot(slot_)); }
  CefValueType GetType() override { return slot_.type; }
  bool GetBool() override { return slot_.type == VTYPE_BOOL && slot_.b; }
  int GetInt() override { return slot_.type == VTYPE_INT ? slot_.i : 0; }
  double GetDouble() override {
    if (slot_.type == VTYPE_DOUBLE)
      return slot_.d;
    return slot_.type == VTYPE_INT ? slot_.i : 0;
  }
  CefString GetString() override { return slot_.type == VTYPE_STRING ? slot_.s : CefString(); }
  CefRefPtr<CefBinaryValue> GetBinary() override { return slot_.binary; }
  CefRefPtr<CefDictionaryValue> GetDictionary() override { return slot_.dict; }
  CefRefPtr<CefListValue> GetList() override { return slot_.list; }
  bool SetNull() override { return Put(Slot()); }
  bool SetBool(bool value) override {
    Slot s;
    s.type = VTYPE_BOOL;
    s.b = value;
    return Put(s);
  }
  bool SetInt(int value) override {
    Slot s;
    s.type = VTYPE_INT;
    s.i = value;
    return Put(s);
  }
  bool SetDouble(double value) override {
    Slot s;
    s.type = VTYPE_DOUBLE;
    s.d = value;
    return Put(s);
  }
  bool SetString(const CefString& value) override {
    Slot s;
    s.type = VTYPE_STRING;
    s.s = value;
    return Put(s);
  }
  bool SetBinary(CefRefPtr<CefBinaryValue> value) override {
    return value && Put(MakeBinary(value));
  }
  bool SetDictionary(CefRefPtr<CefDictionaryValue> value) override {
    return value && Put(MakeDict(value));
  }
  bool SetList(CefRefPtr<CefListValue> value) override { return value && Put(MakeList(value)); }

  const Slot& slot() const { return slot_; }

 private:
  bool Put(const Slot& s) {
    slot_ = s;
    return true;
  }
  Slot slot_;
  IMPLEMENT_REFCOUNTING(ValueImpl);
};

CefRefPtr<CefValue> ValueFromSlot(const Slot& slot) {
  return new ValueImpl(CopySlot(slot));
}

bool SlotFromValue(CefRefPtr<CefValue> value, Slot* slot) {
  if (!value)
    return false;
  switch (value->GetType()) {
    case VTYPE_NULL:
      *slot = Slot();
      return true;
    case VTYPE_BOOL:
      slot->type = VTYPE_BOOL;
      slot->b = value->GetBool();
      return true;
    case VTYPE_INT:
      slot->type = VTYPE_INT;
      slot->i = value->GetInt();
      return true;
    case VTYPE_DOUBLE:
      slot->type = VTYPE_DOUBLE;
      slot->d = value->GetDouble();
      return true;
    case VTYPE_STRING:
      slot->type = VTYPE_STRING;
      slot->s = value->GetString();
      return true;
    case VTYPE_BINARY:
      *slot = MakeBinary(value->GetBinary());
      return slot->type == VTYPE_BINARY;
    case VTYPE_DICTIONARY:
      *slot = MakeDict(value->GetDictionary());
      return slot->type == VTYPE_DICTIONARY;
    case VTYPE_LIST:
      *slot = MakeList(value->GetList());
      return slot->type == VTYPE_LIST;
    default:
      return false;
  }
}

// Typed getters and setters shared by the keyed and the indexed container.
// |Key| is CefString or int; Derived provides Find(key) and Store(key, slot).
template <class Derived, class Key>
class SlotAccess {
 public:
  CefValueType TypeAt(Key key) {
    const Slot* s = self()->Find(key);
    return s ? s->type : VTYPE_INVALID;
  }
  CefRefPtr<CefValue> ValueAt(Key key) {
    const Slot* s = self()->Find(key);
    return s ? ValueFromSlot(*s) : nullptr;
  }
  bool BoolAt(Key key) {
    const Slot* s = self()->Find(key);
    return s && s->type == VTYPE_BOOL && s->b;
  }
  int IntAt(Key key) {
    const Slot* s = self()->Find(key);
    return s && s->type == VTYPE_INT ? s->i : 0;
  }
  double DoubleAt(Key key) {
    const Slot* s = self()->Find(key);
    if (!s)
      return 0;
    if (s->type == VTYPE_DOUBLE)
      return s->d;
    return s->type == VTYPE_INT ? s->i : 0;
  }
  CefString StringAt(Key key) {
    const Slot* s = self()->Find(key);
    return s && s->type == VTYPE_STRING ? s->s : CefString();
  }
  CefRefPtr<CefBinaryValue> BinaryAt(Key key) {
    const Slot* s = self()->Find(key);
    return s ? s->binary : nullptr;
  }
  CefRefPtr<CefDictionaryValue> DictAt(Key key) {
    const Slot* s = self()->Find(key);
    return s ? s->dict : nullptr;
  }
  CefRefPtr<CefListValue> ListAt(Key key) {
    const Slot* s = self()->Find(key);
    return s ? s->list : nullptr;
  }
  bool PutValue(Key key, CefRefPtr<CefValue> value) {
    Slot s;
    return SlotFromValue(value, &s) && self()->Store(key, s);
  }
  bool PutNull(Key key) { return self()->Store(key, Slot()); }
  bool PutBool(Key key, bool value) {
    Slot s;
    s.type = VTYPE_BOOL;
    s.b = value;
    return self()->Store(key, s);
  }
  bool PutInt(Key key, int value) {
    Slot s;
    s.type = VTYPE_INT;
    s.i = value;
    return self()->Store(key, s);
  }
  bool PutDouble(Key key, double value) {
    Slot s;
    s.type = VTYPE_DOUBLE;
    s.d = value;
    return self()->Store(key, s);
  }
  bool PutString(Key key, const CefString& value) {
    Slot s;
    s.type = VTYPE_STRING;
    s.s = value;
    return self()->Store(key, s);
  }
  bool PutBinary(Key key, CefRefPtr<CefBinaryValue> v) {
    return v && self()->Store(key, MakeBinary(v));
  }
  bool PutDict(Key key, CefRefPtr<CefDictionaryValue> v) {
    return v && self()->Store(key, MakeDict(v));
  }
  bool PutList(Key key, CefRefPtr<CefListValue> v) { return v && self()->Store(key, MakeList(v)); }

 private:
  Derived* self() { return static_cast<Derived*>(this); }
};

class DictionaryValueImpl : public CefDictionaryValue,
                            public SlotAccess<DictionaryValueImpl, const CefString&> {
 public:
  const Slot* Find(const CefString& key) {
    auto it = map_.find(key);
    return it == map_.end() ? nullptr : &it->second;
  }
  bool Store(const CefString& key, const Slot& slot) {
    map_[key] = slot;
    return true;
  }

  bool IsValid() override { return true; }
  bool IsOwned() override { return false; }
  bool IsReadOnly() override { return false; }
  bool IsSame(CefRefPtr<CefDictionaryValue> that) override { return that.get() == this; }
  bool IsEqual(CefRefPtr<CefDictionaryValue> that) override {
    if (!that || that->GetSize() != map_.size())
      return false;
    for (const auto& entry : map_) {
      Slot other;
      if (!that->HasKey(entry.first) || !SlotFromValue(that->GetValue(entry.first), &other) ||
          !SlotsEqual(entry.second, other))
        return false;
    }
    return true;
  }
  CefRefPtr<CefDictionaryValue> Copy(bool exclude_empty_children) override {
    CefRefPtr<DictionaryValueImpl> copy = new DictionaryValueImpl();
    for (const auto& entry : map_) {
      const Slot& s = entry.second;
      if (exclude_empty_children && ((s.type == VTYPE_DICTIONARY && s.dict->GetSize() == 0) ||
                                     (s.type == VTYPE_LIST && s.list->GetSize() == 0)))
        continue;
      Slot c = CopySlot(s);
      if (exclude_empty_children && c.type == VTYPE_DICTIONARY)
        c.dict = s.dict->Copy(true);
      copy->map_[entry.first] = c;
    }
    return copy.get();
  }
  size_t GetSize() override { return map_.size(); }
  bool Clear() override {
    map_.clear();
    return true;
  }
  bool HasKey(const CefString& key) override { return map_.count(key) != 0; }
  bool GetKeys(KeyList& keys) override {
    for (const auto& entry : map_)
      keys.push_back(entry.first);
    return true;
  }
  bool Remove(const CefString& key) override { return map_.erase(key) != 0; }
  CefValueType GetType(const CefString& key) override { return TypeAt(key); }
  CefRefPtr<CefValue> GetValue(const CefString& key) override { return ValueAt(key); }
  bool GetBool(const CefString& key) override { return BoolAt(key); }
  int GetInt(const CefString& key) override { return IntAt(key); }
  double GetDouble(const CefString& key) override { return DoubleAt(key); }
  CefString GetString(const CefString& key) override { return StringAt(key); }
  CefRefPtr<CefBinaryValue> GetBinary(const CefString& key) override { return BinaryAt(key); }
  CefRefPtr<CefDictionaryValue> GetDictionary(const CefString& key) override { return DictAt(key); }
  CefRefPtr<CefListValue> GetList(const CefString& key) override { return ListAt(key); }
  bool SetValue(const CefString& key, CefRefPtr<CefValue> value) override {
    return PutValue(key, value);
  }
  bool SetNull(const CefString& key) override { return PutNull(key); }
  bool SetBool(const CefString& key, bool value) override { return PutBool(key, value); }
  bool SetInt(const CefString& key, int value) override { return PutInt(key, value); }
  bool SetDouble(const CefString& key, double value) override { return PutDouble(key, value); }
  bool SetString(const CefString& key, const CefString& value) override {
    return PutString(key, value);
  }
  bool SetBinary(const CefString& key, CefRefPtr<CefBinaryValue> value) override {
    return PutBinary(key, value);
  }
  bool SetDictionary(const CefString& key, CefRefPtr<CefDictionaryValue> value) override {
    return PutDict(key, value);
  }
  bool SetList(const CefString& key, CefRefPtr<CefListValue> value) override {
    return PutList(key, value);
  }

 private:
  std::map<CefString, Slot> map_;
  IMPLEMENT_REFCOUNTING(DictionaryValueImpl);
};

// Indices are ints in the interface; anything negative is refused.
class ListValueImpl : public CefListValue, public SlotAccess<ListValueImpl, int> {
 public:
  const Slot* Find(int index) {
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
      return nullptr;
    return &items_[static_cast<size_t>(index)];
  }
  bool Store(int index, const Slot& slot) {
    if (index < 0)
      return false;
    if (static_cast<size_t>(index) >= items_.size())
      items_.resize(static_cast<size_t>(index) + 1);
    items_[static_cast<size_t>(index)] = slot;
    return true;
  }

  bool IsValid() override { return true; }
  bool IsOwned() override { return false; }
  bool IsReadOnly() override { return false; }
  bool IsSame(CefRefPtr<CefListValue> that) override { return that.get() == this; }
  bool IsEqual(CefRefPtr<CefListValue> that) override {
    if (!that || that->GetSize() != items_.size())
      return false;
    for (size_t i = 0; i < items_.size(); ++i) {
      Slot other;
      if (!SlotFromValue(that->GetValue(static_cast<int>(i)), &other) ||
          !SlotsEqual(items_[i], other))
        return false;
    }
    return true;
  }
  CefRefPtr<CefListValue> Copy() override {
    CefRefPtr<ListValueImpl> copy = new ListValueImpl();
    for (const Slot& s : items_)
      copy->items_.push_back(CopySlot(s));
    return copy.get();
  }
  bool SetSize(size_t size) override {
    items_.resize(size);
    return true;
  }
  size_t GetSize() override { return items_.size(); }
  bool Clear() override {
    items_.clear();
    return true;
  }
  bool Remove(int index) override {
    if (!Find(index))
      return false;
    items_.erase(items_.begin() + index);
    return true;
  }
  CefValueType GetType(int index) override { return TypeAt(index); }
  CefRefPtr<CefValue> GetValue(int index) override { return ValueAt(index); }
  bool GetBool(int index) override { return BoolAt(index); }
  int GetInt(int index) override { return IntAt(index); }
  double GetDouble(int index) override { return DoubleAt(index); }
  CefString GetString(int index) override { return StringAt(index); }
  CefRefPtr<CefBinaryValue> GetBinary(int index) override { return BinaryAt(index); }
  CefRefPtr<CefDictionaryValue> GetDictionary(int index) override { return DictAt(index); }
  CefRefPtr<CefListValue> GetList(int index) override { return ListAt(index); }
  bool SetValue(int index, CefRefPtr<CefValue> value) override { return PutValue(index, value); }
  bool SetNull(int index) override { return PutNull(index); }
  bool SetBool(int index, bool value) override { return PutBool(index, value); }
  bool SetInt(int index, int value) override { return PutInt(index, value); }
  bool SetDouble(int index, double value) override { return PutDouble(index, value); }
  bool SetString(int index, const CefString& value) override { return PutString(index, value); }
  bool SetBinary(int index, CefRefPtr<CefBinaryValue> value) override {
    return PutBinary(index, value);
  }
  bool SetDictionary(int index, CefRefPtr<CefDictionaryValue> value) override {
    return PutDict(index, value);
  }
  bool SetList(int index, CefRefPtr<CefListValue> value) override { return PutList(index, value); }

 private:
  std::vector<Slot> items_;
  IMPLEMENT_REFCOUNTING(ListValueImpl);
};

}  // namespace

CefRefPtr<CefValue> CefValue::Create() {
  return new ValueImpl();
}

CefRefPtr<CefBinaryValue> CefBinaryValue::Create(const void* data, size_t data_size) {
  if (!data || data_size == 0)
    return nullptr;
  return new BinaryValueImpl(data, data_size);
}

CefRefPtr<CefDictionaryValue> CefDictionaryValue::Create() {
  return new DictionaryValueImpl();
}

CefRefPtr<CefListValue> CefListValue::Create() {
  return new ListValueImpl();
}
