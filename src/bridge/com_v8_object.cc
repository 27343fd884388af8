#include "src/bridge/com_v8_object.h"

#include "src/bridge/bridge_packet.h"
#include "src/bridge/bridge_requests.h"
#include "src/bridge/bridge_transport.h"
#include "src/common/text_conv.h"
#include "src/values/cef_text.h"

CNuvComV8Object::CNuvComV8Object(CefRefPtr<CefV8Context> context,
                                 uint32_t hostWindow,
                                 int32_t browserId,
                                 int32_t objectId,
                                 const std::u16string& propertyNames,
                                 const std::u16string& methodNames)
    : m_context(context),
      m_hostWindow(hostWindow),
      m_browserId(browserId),
      m_objectId(objectId),
      m_propertyNames(propertyNames),
      m_methodNames(methodNames) {}

CNuvComV8Object::~CNuvComV8Object() = default;

bool CNuvComV8Object::Execute(const CefString& name,
                              CefRefPtr<CefV8Value> /*object*/,
                              const CefV8ValueList& arguments,
                              CefRefPtr<CefV8Value>& retval,
                              CefString& /*exception*/) {
  // Nothing thrown here may reach the page: a failed call reads undefined.
  try {
    retval = RequestCallMethod(m_hostWindow, m_context, m_browserId, m_objectId,
                               WideToUtf8(CefToU16(name)), arguments);
  } catch (...) {
    retval = nullptr;
    LogFailedBridgeCall(BRIDGE_CALL_METHOD, m_browserId, m_objectId, name);
  }
  return true;
}

bool CNuvComV8Object::Get(const CefString& name,
                          const CefRefPtr<CefV8Value> /*object*/,
                          CefRefPtr<CefV8Value>& retval,
                          CefString& /*exception*/) {
  try {
    retval = RequestGetProperty(m_hostWindow, m_context, m_browserId, m_objectId,
                                WideToUtf8(CefToU16(name)));
  } catch (...) {
    retval = nullptr;
    LogFailedBridgeCall(BRIDGE_GET_PROPERTY, m_browserId, m_objectId, name);
  }
  return true;
}

bool CNuvComV8Object::Set(const CefString& name,
                          const CefRefPtr<CefV8Value> /*object*/,
                          const CefRefPtr<CefV8Value> value,
                          CefString& /*exception*/) {
  try {
    RequestSetProperty(m_hostWindow, m_context, m_browserId, m_objectId, WideToUtf8(CefToU16(name)),
                       value);
  } catch (...) {
    LogFailedBridgeCall(BRIDGE_SET_PROPERTY, m_browserId, m_objectId, name);
  }
  return true;
}

void CNuvComV8Object::AddRef() const {
  m_refCount.fetch_add(1, std::memory_order_relaxed);
}

bool CNuvComV8Object::Release() const {
  if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) != 1)
    return false;
  // The last reference usually goes inside the garbage collector, where no
  // request may be sent: the release travels at the next safe point.
  QueueObjectRelease(m_hostWindow, m_browserId, m_objectId);
  delete this;
  return true;
}

bool CNuvComV8Object::HasOneRef() const {
  return m_refCount.load(std::memory_order_acquire) == 1;
}
