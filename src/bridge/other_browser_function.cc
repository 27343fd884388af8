#include "src/bridge/other_browser_function.h"

#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_requests.h"
#include "src/common/text_conv.h"
#include "src/values/cef_text.h"

CNuvOtherBrowserV8FunctionObject::CNuvOtherBrowserV8FunctionObject(CefRefPtr<CefV8Context> context,
                                                                   uint32_t hostWindow,
                                                                   int32_t browserId,
                                                                   int32_t objectId)
    : m_context(context), m_hostWindow(hostWindow), m_browserId(browserId), m_objectId(objectId) {}

CNuvOtherBrowserV8FunctionObject::~CNuvOtherBrowserV8FunctionObject() = default;

bool CNuvOtherBrowserV8FunctionObject::Execute(const CefString& name,
                                               CefRefPtr<CefV8Value> /*object*/,
                                               const CefV8ValueList& arguments,
                                               CefRefPtr<CefV8Value>& retval,
                                               CefString& /*exception*/) {
  // Nothing thrown here may reach the page: a failed call reads undefined.
  try {
    retval = RequestCallOtherBrowserFunction(m_hostWindow, m_context, m_browserId, m_objectId,
                                             WideToUtf8(CefToU16(name)), arguments);
  } catch (...) {
    retval = nullptr;
    LogFailedBridgeCall(BRIDGE_CALL_OTHER_BROWSER_FUNCTION, m_browserId, m_objectId, name);
  }
  return true;
}
