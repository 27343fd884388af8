// CNuvComV8Object: the script-side stand-in of one automation object living
// in the client's process. Its script object forwards every listed property
// read and write and every listed method call to the client as a bridge
// request; when the last reference goes, the client is told to release the
// object.
#ifndef NUV_SRC_BRIDGE_COM_V8_OBJECT_H_
#define NUV_SRC_BRIDGE_COM_V8_OBJECT_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "include/cef_v8.h"

class CNuvComV8Object : public CefV8Handler, public CefV8Accessor {
 public:
  CNuvComV8Object(CefRefPtr<CefV8Context> context,
                  uint32_t hostWindow,
                  int32_t browserId,
                  int32_t objectId,
                  const std::u16string& propertyNames,
                  const std::u16string& methodNames);

  // A call of one of the object's methods; `name` is the method name.
  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override;
  bool Get(const CefString& name,
           const CefRefPtr<CefV8Value> object,
           CefRefPtr<CefV8Value>& retval,
           CefString& exception) override;
  bool Set(const CefString& name,
           const CefRefPtr<CefV8Value> object,
           const CefRefPtr<CefV8Value> value,
           CefString& exception) override;

  // When the count reaches 0 the release request is queued (it is sent at
  // the next safe point, see QueueObjectRelease) and the proxy is deleted.
  void AddRef() const override;
  bool Release() const override;
  bool HasOneRef() const override;

  // The name lists exactly as received, line feeds kept.
  std::u16string GetPropertyNames() const { return m_propertyNames; }
  std::u16string GetMethodNames() const { return m_methodNames; }
  int32_t GetObjectId() const { return m_objectId; }
  int32_t GetBrowserId() const { return m_browserId; }
  uint32_t GetHostWindow() const { return m_hostWindow; }

 protected:
  ~CNuvComV8Object() override;

 private:
  CefRefPtr<CefV8Context> m_context;
  uint32_t m_hostWindow;
  int32_t m_browserId;
  int32_t m_objectId;
  std::u16string m_propertyNames;
  std::u16string m_methodNames;
  mutable std::atomic<int32_t> m_refCount{0};
};

#endif  // NUV_SRC_BRIDGE_COM_V8_OBJECT_H_
