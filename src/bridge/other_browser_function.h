// CNuvOtherBrowserV8FunctionObject: the handler of a page function that
// stands for a function living in the page of another browser. Calling it
// sends the call to the client, which routes it to the owning browser.
#ifndef NUV_SRC_BRIDGE_OTHER_BROWSER_FUNCTION_H_
#define NUV_SRC_BRIDGE_OTHER_BROWSER_FUNCTION_H_

#include <cstdint>

#include "include/cef_v8.h"

class CNuvOtherBrowserV8FunctionObject : public CefV8Handler {
 public:
  // `browserId` and `objectId` identify the function in its own browser.
  CNuvOtherBrowserV8FunctionObject(CefRefPtr<CefV8Context> context,
                                   uint32_t hostWindow,
                                   int32_t browserId,
                                   int32_t objectId);

  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override;

  int32_t GetBrowserId() const { return m_browserId; }
  int32_t GetObjectId() const { return m_objectId; }

 private:
  ~CNuvOtherBrowserV8FunctionObject() override;

  CefRefPtr<CefV8Context> m_context;
  uint32_t m_hostWindow;
  int32_t m_browserId;
  int32_t m_objectId;

  IMPLEMENT_REFCOUNTING(CNuvOtherBrowserV8FunctionObject);
};

#endif  // NUV_SRC_BRIDGE_OTHER_BROWSER_FUNCTION_H_
