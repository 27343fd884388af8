// What the value conversions need from the host object bridge, which lives in
// the layer above them: making the script-side proxies of host objects and of
// functions of other browsers, filing and finding page callbacks, and
// recognising a host object proxy. The bridge implements it and the program
// installs that implementation before the first conversion.
#ifndef NUV_SRC_VALUES_VALUE_BRIDGE_H_
#define NUV_SRC_VALUES_VALUE_BRIDGE_H_

#include <cstdint>
#include <string>

#include "include/cef_v8.h"

// The identity of a host object as its records carry it.
struct NuvHostObjectIdentity {
  int32_t objectId = 0;
  std::u16string propertyNames;
  std::u16string methodNames;
};

class INuvValueBridge {
 public:
  // A script object standing for the host object `identity`, whose listed
  // properties and methods reach the client through `hostWindow`; null when
  // it cannot be made.
  virtual CefRefPtr<CefV8Value> MakeHostObject(CefRefPtr<CefV8Context> context,
                                               uint32_t hostWindow,
                                               int32_t browserId,
                                               const NuvHostObjectIdentity& identity) = 0;
  // A page function named `name` that calls function `objectId` of browser
  // `browserId` through the client.
  virtual CefRefPtr<CefV8Value> MakeOtherBrowserFunction(CefRefPtr<CefV8Context> context,
                                                         uint32_t hostWindow,
                                                         int32_t browserId,
                                                         int32_t objectId,
                                                         const CefString& name) = 0;
  // Files `function` in the callback registry of `browserId` under
  // `objectId`; the registry keeps it from now on.
  virtual void RegisterPageCallback(CefRefPtr<CefV8Context> context,
                                    CefRefPtr<CefV8Value> function,
                                    int32_t browserId,
                                    int32_t objectId) = 0;
  // The page function filed under `objectId` for `browserId`, or null.
  virtual CefRefPtr<CefV8Value> FindPageCallback(int32_t browserId, int32_t objectId) = 0;
  // Takes the function filed under `objectId` for `browserId` out of the
  // registry again (its record never reached the client).
  virtual void ForgetPageCallback(int32_t browserId, int32_t objectId) = 0;
  // Whether `value` is a host object proxy; fills `identity` when it is.
  virtual bool GetHostObjectIdentity(const CefRefPtr<CefV8Value>& value,
                                     NuvHostObjectIdentity* identity) = 0;

 protected:
  virtual ~INuvValueBridge() = default;
};

// Installs the bridge the conversions use (it must outlive them). Until one
// is installed, host objects and functions decode to null and encode as
// page objects do.
void SetValueBridge(INuvValueBridge* bridge);
INuvValueBridge* GetValueBridge();

#endif  // NUV_SRC_VALUES_VALUE_BRIDGE_H_
