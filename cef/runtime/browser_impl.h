// The render process's browsers and frames. A browser owns its frames; a
// frame owns the record of its current script context, if any.
#ifndef CEF_RUNTIME_BROWSER_IMPL_H_
#define CEF_RUNTIME_BROWSER_IMPL_H_

#include <memory>
#include <vector>

#include "cef/runtime/runtime_internal.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"

namespace cefrt {
namespace internal {

class FrameImpl : public CefFrame {
 public:
  FrameImpl(BrowserImpl* browser, int64 id, bool is_main, const CefString& name);

  // Runtime side.
  void set_identifier(int64 id) { id_ = id; }
  void set_name(const CefString& name) { name_ = name; }
  const std::shared_ptr<ContextState>& context_state() const { return context_; }
  void set_context_state(std::shared_ptr<ContextState> state) { context_ = std::move(state); }
  // Called when the browser goes away: the frame becomes invalid.
  void Detach();

  bool IsValid() override;
  void Undo() override { Command(u"undo"); }
  void Redo() override { Command(u"redo"); }
  void Cut() override { Command(u"cut"); }
  void Copy() override { Command(u"copy"); }
  void Paste() override { Command(u"paste"); }
  void Delete() override { Command(u"delete"); }
  void SelectAll() override { Command(u"selectAll"); }
  void ViewSource() override;
  void GetSource(CefRefPtr<CefStringVisitor> visitor) override;
  void GetText(CefRefPtr<CefStringVisitor> visitor) override;
  void LoadRequest(CefRefPtr<CefRequest> request) override;
  void LoadURL(const CefString& url) override;
  void LoadString(const CefString& string_val, const CefString& url) override;
  void ExecuteJavaScript(const CefString& code,
                         const CefString& script_url,
                         int start_line) override;
  bool IsMain() override { return is_main_; }
  bool IsFocused() override { return is_main_; }
  CefString GetName() override { return name_; }
  int64 GetIdentifier() override { return id_; }
  CefRefPtr<CefFrame> GetParent() override;
  CefString GetURL() override { return u"about:blank"; }
  CefRefPtr<CefBrowser> GetBrowser() override;
  CefRefPtr<CefV8Context> GetV8Context() override;
  void VisitDOM(CefRefPtr<CefDOMVisitor> visitor) override;

 private:
  void Command(const char16_t* name);

  CefRefPtr<BrowserImpl> browser_;  // dropped by Detach()
  int browser_id_;
  int64 id_;
  bool is_main_;
  CefString name_;
  std::shared_ptr<ContextState> context_;
  IMPLEMENT_REFCOUNTING(FrameImpl);
};

class BrowserImpl : public CefBrowser {
 public:
  explicit BrowserImpl(int id);

  // Runtime side.
  FrameImpl* main_frame() const { return frames_.empty() ? nullptr : frames_.front().get(); }
  // Frames by the client's identifier; the main frame is found only once
  // the client has named it (see NameMainFrame).
  FrameImpl* FindFrame(int64 id) const;
  void NameMainFrame(int64 id);
  // Adds a sub-frame (the main frame exists from the start).
  FrameImpl* AddFrame(int64 id, const CefString& name);
  const std::vector<CefRefPtr<FrameImpl>>& frames() const { return frames_; }
  // The value every context of this browser uses as security token.
  v8::Local<v8::Value> SecurityToken(v8::Isolate* isolate);
  // Marks the browser destroyed and drops its frames.
  void Detach();
  bool valid() const { return valid_; }

  CefRefPtr<CefBrowserHost> GetHost() override { return nullptr; }
  bool CanGoBack() override { return false; }
  void GoBack() override {}
  bool CanGoForward() override { return false; }
  void GoForward() override {}
  bool IsLoading() override { return false; }
  void Reload() override {}
  void ReloadIgnoreCache() override {}
  void StopLoad() override {}
  int GetIdentifier() override { return id_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override { return that.get() == this; }
  bool IsPopup() override { return false; }
  bool HasDocument() override;
  CefRefPtr<CefFrame> GetMainFrame() override;
  CefRefPtr<CefFrame> GetFocusedFrame() override { return GetMainFrame(); }
  CefRefPtr<CefFrame> GetFrame(int64 identifier) override;
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override;
  size_t GetFrameCount() override { return frames_.size(); }
  void GetFrameIdentifiers(std::vector<int64>& identifiers) override;
  void GetFrameNames(std::vector<CefString>& names) override;
  bool SendProcessMessage(CefProcessId target_process,
                          CefRefPtr<CefProcessMessage> message) override;

 private:
  int id_;
  bool valid_ = true;
  bool main_named_ = false;
  std::vector<CefRefPtr<FrameImpl>> frames_;
  v8::Global<v8::Value> security_token_;
  IMPLEMENT_REFCOUNTING(BrowserImpl);
};

}  // namespace internal
}  // namespace cefrt

#endif  // CEF_RUNTIME_BROWSER_IMPL_H_
