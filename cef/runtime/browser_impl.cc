// Browsers and frames of the render process.
#include "cef/runtime/browser_impl.h"

#include <string>

#include "cef/runtime/render_runtime.h"

namespace cefrt {
namespace internal {

FrameImpl::FrameImpl(BrowserImpl* browser, int64 id, bool is_main, const CefString& name)
    : browser_(browser),
      browser_id_(browser->GetIdentifier()),
      id_(id),
      is_main_(is_main),
      name_(name) {}

void FrameImpl::Detach() {
  browser_ = nullptr;
  context_.reset();
}

bool FrameImpl::IsValid() {
  return browser_ && browser_->valid();
}

void FrameImpl::Command(const char16_t* name) {
  if (IsValid())
    RunDocumentCommand(browser_id_, id_, name, false, CefString());
}

void FrameImpl::ViewSource() {
  LogError("CefFrame::ViewSource is not supported by this runtime");
}

void FrameImpl::GetSource(CefRefPtr<CefStringVisitor> visitor) {
  // There is no markup: pages are defined by script only.
  if (visitor)
    visitor->Visit(CefString());
}

void FrameImpl::GetText(CefRefPtr<CefStringVisitor> visitor) {
  if (visitor)
    visitor->Visit(CefString());
}

void FrameImpl::LoadRequest(CefRefPtr<CefRequest> request) {
  LogError("CefFrame::LoadRequest is not supported by this runtime");
}

void FrameImpl::LoadURL(const CefString& url) {
  LogError("CefFrame::LoadURL is not supported by this runtime");
}

void FrameImpl::LoadString(const CefString& string_val, const CefString& url) {
  LogError("CefFrame::LoadString is not supported by this runtime");
}

void FrameImpl::ExecuteJavaScript(const CefString& code,
                                  const CefString& script_url,
                                  int start_line) {
  if (!IsValid() || !context_ || !context_->valid)
    return;
  RunPageCode(context_.get(), code, script_url.empty() ? GetURL() : script_url, start_line);
}

CefRefPtr<CefFrame> FrameImpl::GetParent() {
  if (is_main_ || !browser_)
    return nullptr;
  return browser_->GetMainFrame();
}

CefRefPtr<CefBrowser> FrameImpl::GetBrowser() {
  return browser_.get();
}

CefRefPtr<CefV8Context> FrameImpl::GetV8Context() {
  if (!IsValid() || !context_ || !context_->valid || !CurrentIsolate())
    return nullptr;
  return WrapContext(context_);
}

void FrameImpl::VisitDOM(CefRefPtr<CefDOMVisitor> visitor) {
  LogError("CefFrame::VisitDOM is not supported by this runtime");
}

BrowserImpl::BrowserImpl(int id) : id_(id) {
  // The main frame exists from the start; the client names its identifier
  // when it creates the main frame's context.
  frames_.push_back(new FrameImpl(this, 0, true, CefString()));
}

FrameImpl* BrowserImpl::FindFrame(int64 id) const {
  for (size_t i = main_named_ ? 0 : 1; i < frames_.size(); ++i) {
    if (frames_[i]->GetIdentifier() == id)
      return frames_[i].get();
  }
  return nullptr;
}

void BrowserImpl::NameMainFrame(int64 id) {
  if (FrameImpl* main = main_frame()) {
    main->set_identifier(id);
    main_named_ = true;
  }
}

FrameImpl* BrowserImpl::AddFrame(int64 id, const CefString& name) {
  frames_.push_back(new FrameImpl(this, id, false, name));
  return frames_.back().get();
}

v8::Local<v8::Value> BrowserImpl::SecurityToken(v8::Isolate* isolate) {
  if (security_token_.IsEmpty()) {
    std::string token = "nuv-browser-" + std::to_string(id_);
    security_token_.Reset(isolate,
                          v8::String::NewFromUtf8(isolate, token.c_str()).ToLocalChecked());
  }
  return security_token_.Get(isolate);
}

void BrowserImpl::Detach() {
  valid_ = false;
  security_token_.Reset();
  std::vector<CefRefPtr<FrameImpl>> frames;
  frames.swap(frames_);
  for (auto& frame : frames)
    frame->Detach();
}

bool BrowserImpl::HasDocument() {
  FrameImpl* main = main_frame();
  return main && main->context_state() && main->context_state()->valid;
}

CefRefPtr<CefFrame> BrowserImpl::GetMainFrame() {
  return main_frame();
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(int64 identifier) {
  return FindFrame(identifier);
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(const CefString& name) {
  for (const auto& frame : frames_) {
    if (frame->GetName() == name)
      return frame.get();
  }
  return nullptr;
}

void BrowserImpl::GetFrameIdentifiers(std::vector<int64>& identifiers) {
  for (const auto& frame : frames_)
    identifiers.push_back(frame->GetIdentifier());
}

void BrowserImpl::GetFrameNames(std::vector<CefString>& names) {
  for (const auto& frame : frames_)
    names.push_back(frame->GetName());
}

bool BrowserImpl::SendProcessMessage(CefProcessId target_process,
                                     CefRefPtr<CefProcessMessage> message) {
  if (target_process != PID_BROWSER || !message || !valid_ || !CurrentIsolate()) {
    LogError(
        "CefBrowser::SendProcessMessage: refused (target must be PID_BROWSER, "
        "the message set and the browser alive)");
    return false;
  }
  // The message is copied, as CEF copies it into the IPC message: the
  // sender may reuse or change its object afterwards.
  if (RenderRuntimeObserver* observer = CurrentObserver())
    observer->OnProcessMessageToBrowser(id_, message->Copy());
  return true;
}

}  // namespace internal
}  // namespace cefrt
