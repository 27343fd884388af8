#include "src/bridge/value_bridge_impl.h"

#include "src/bridge/callback_holder.h"
#include "src/bridge/com_v8_object.h"
#include "src/bridge/other_browser_function.h"
#include "src/values/cef_text.h"
#include "src/values/value_bridge.h"
#include "src/values/value_record.h"

namespace {

class CNuvBridgeForValues : public INuvValueBridge {
 public:
  // A script object whose listed properties and methods all reach a new
  // host object proxy; the object and its functions own the proxy.
  CefRefPtr<CefV8Value> MakeHostObject(CefRefPtr<CefV8Context> context,
                                       uint32_t hostWindow,
                                       int32_t browserId,
                                       const NuvHostObjectIdentity& identity) override {
    CefRefPtr<CNuvComV8Object> proxy =
        new CNuvComV8Object(context, hostWindow, browserId, identity.objectId,
                            identity.propertyNames, identity.methodNames);
    CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(proxy.get());
    if (!object)
      return nullptr;
    object->SetUserData(proxy.get());
    for (const std::u16string& name : SplitNameList(proxy->GetPropertyNames()))
      object->SetValue(U16ToCef(name), V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_NONE);
    for (const std::u16string& name : SplitNameList(proxy->GetMethodNames())) {
      const CefString methodName = U16ToCef(name);
      CefRefPtr<CefV8Value> method = CefV8Value::CreateFunction(methodName, proxy.get());
      if (method)
        object->SetValue(methodName, method, V8_PROPERTY_ATTRIBUTE_NONE);
    }
    return object;
  }

  CefRefPtr<CefV8Value> MakeOtherBrowserFunction(CefRefPtr<CefV8Context> context,
                                                 uint32_t hostWindow,
                                                 int32_t browserId,
                                                 int32_t objectId,
                                                 const CefString& name) override {
    CefRefPtr<CNuvOtherBrowserV8FunctionObject> proxy =
        new CNuvOtherBrowserV8FunctionObject(context, hostWindow, browserId, objectId);
    CefRefPtr<CefV8Value> function = CefV8Value::CreateFunction(name, proxy.get());
    if (function)
      function->SetUserData(proxy.get());
    return function;
  }

  void RegisterPageCallback(CefRefPtr<CefV8Context> context,
                            CefRefPtr<CefV8Value> function,
                            int32_t browserId,
                            int32_t objectId) override {
    // The holder files itself in the registry, which keeps it alive.
    CefRefPtr<CNuvV8CallbackObjectHolder> holder =
        new CNuvV8CallbackObjectHolder(context, function, browserId, objectId);
  }

  CefRefPtr<CefV8Value> FindPageCallback(int32_t browserId, int32_t objectId) override {
    CefRefPtr<CNuvV8CallbackObjectHolder> holder = FindCallback(browserId, objectId);
    return holder ? holder->GetFunction() : nullptr;
  }

  void ForgetPageCallback(int32_t browserId, int32_t objectId) override {
    ForgetCallback(browserId, objectId);
  }

  bool GetHostObjectIdentity(const CefRefPtr<CefV8Value>& value,
                             NuvHostObjectIdentity* identity) override {
    CefRefPtr<CefBase> userData = value->GetUserData();
    auto* proxy = dynamic_cast<CNuvComV8Object*>(userData.get());
    if (!proxy)
      return false;
    identity->objectId = proxy->GetObjectId();
    identity->propertyNames = proxy->GetPropertyNames();
    identity->methodNames = proxy->GetMethodNames();
    return true;
  }
};

}  // namespace

void InstallBridgeForValues() {
  static CNuvBridgeForValues bridge;
  SetValueBridge(&bridge);
}
