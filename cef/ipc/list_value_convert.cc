#include "cef/ipc/list_value_convert.h"

#include "cef/ipc/frame.h"

namespace cefipc {

namespace {

const char* TypeName(CefValueType type) {
  switch (type) {
    case VTYPE_BINARY:
      return "binary";
    case VTYPE_DICTIONARY:
      return "dictionary";
    default:
      return "unknown";
  }
}

bool Convert(CefRefPtr<CefListValue> list,
             int depth,
             const std::string& path,
             WireList* out,
             std::string* error) {
  if (depth > kMaxListDepth) {
    *error = "lists nest deeper than " + std::to_string(kMaxListDepth) + " at " + path;
    return false;
  }
  out->clear();
  if (!list)
    return true;
  const size_t size = list->GetSize();
  out->reserve(size);
  for (size_t i = 0; i < size; ++i) {
    const int index = static_cast<int>(i);
    const std::string where = path + "[" + std::to_string(i) + "]";
    switch (list->GetType(index)) {
      case VTYPE_INVALID:
      case VTYPE_NULL:
        out->push_back(WireValue::Null());
        break;
      case VTYPE_BOOL:
        out->push_back(WireValue::Bool(list->GetBool(index)));
        break;
      case VTYPE_INT:
        out->push_back(WireValue::Int(list->GetInt(index)));
        break;
      case VTYPE_DOUBLE:
        out->push_back(WireValue::Double(list->GetDouble(index)));
        break;
      case VTYPE_STRING:
        out->push_back(WireValue::String(list->GetString(index).ToString16()));
        break;
      case VTYPE_LIST: {
        WireList inner;
        if (!Convert(list->GetList(index), depth + 1, where, &inner, error))
          return false;
        out->push_back(WireValue::List(std::move(inner)));
        break;
      }
      default:
        *error = "argument " + where + " is a " + TypeName(list->GetType(index)) +
                 " value, which the IPC does not carry";
        return false;
    }
  }
  return true;
}

}  // namespace

bool ListValueToWire(CefRefPtr<CefListValue> list, WireList* out, std::string* error) {
  return Convert(list, 1, "args", out, error);
}

void WireToListValue(const WireList& values, CefRefPtr<CefListValue> list) {
  if (!list)
    return;
  list->Clear();
  list->SetSize(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const int index = static_cast<int>(i);
    const WireValue& v = values[i];
    switch (v.type()) {
      case WireValue::Type::kNull:
        list->SetNull(index);
        break;
      case WireValue::Type::kBool:
        list->SetBool(index, v.GetBool());
        break;
      case WireValue::Type::kInt:
        list->SetInt(index, v.GetInt());
        break;
      case WireValue::Type::kDouble:
        list->SetDouble(index, v.GetDouble());
        break;
      case WireValue::Type::kString:
        list->SetString(index, CefString(v.GetString()));
        break;
      case WireValue::Type::kList: {
        CefRefPtr<CefListValue> inner = CefListValue::Create();
        WireToListValue(v.GetList(), inner);
        list->SetList(index, inner);
        break;
      }
    }
  }
}

}  // namespace cefipc
