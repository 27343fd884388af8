// CefProcessMessage: a name and an argument list.
#include "include/cef_process_message.h"

namespace {

class ProcessMessageImpl : public CefProcessMessage {
 public:
  ProcessMessageImpl(const CefString& name, CefRefPtr<CefListValue> args)
      : name_(name), args_(args) {}

  bool IsValid() override { return true; }
  bool IsReadOnly() override { return false; }
  CefRefPtr<CefProcessMessage> Copy() override {
    return new ProcessMessageImpl(name_, args_->Copy());
  }
  CefString GetName() override { return name_; }
  CefRefPtr<CefListValue> GetArgumentList() override { return args_; }

 private:
  CefString name_;
  CefRefPtr<CefListValue> args_;
  IMPLEMENT_REFCOUNTING(ProcessMessageImpl);
};

}  // namespace

CefRefPtr<CefProcessMessage> CefProcessMessage::Create(const CefString& name) {
  // As CEF: any name, the empty one included.
  return new ProcessMessageImpl(name, CefListValue::Create());
}
