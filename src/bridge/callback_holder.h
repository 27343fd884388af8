// The page callback registry: page functions handed to the client are kept,
// with the script context they belong to, in holders filed by identifier in
// their browser's helper window, so that the client can call them back and
// a record naming the identifier gives back the very same function.
#ifndef NUV_SRC_BRIDGE_CALLBACK_HOLDER_H_
#define NUV_SRC_BRIDGE_CALLBACK_HOLDER_H_

#include <cstdint>
#include <string>

#include "include/cef_v8.h"

// Render thread only, all of it: the registry has no lock. Each function
// checks its thread and does nothing (or finds nothing) elsewhere.
class CNuvV8CallbackObjectHolder : public CefBase {
 public:
  // Stores the four values and files the holder in the registry of
  // `browserId` under `objectId` (replacing a holder filed there before);
  // off the render thread it is filed nowhere.
  CNuvV8CallbackObjectHolder(CefRefPtr<CefV8Context> context,
                             CefRefPtr<CefV8Value> function,
                             int32_t browserId,
                             int32_t objectId);

  // Calls the function in its context with the global object as receiver;
  // null when the stored value is not a function or the call threw.
  CefRefPtr<CefV8Value> Invoke(const CefV8ValueList& arguments);

  CefRefPtr<CefV8Context> GetContext() const { return m_context; }
  CefRefPtr<CefV8Value> GetFunction() const { return m_function; }
  int32_t GetBrowserId() const { return m_browserId; }
  int32_t GetObjectId() const { return m_objectId; }

 private:
  ~CNuvV8CallbackObjectHolder() override;
  void RegisterCallback();

  // Declared in this order so that the function is released before the
  // context.
  CefRefPtr<CefV8Context> m_context;
  CefRefPtr<CefV8Value> m_function;
  int32_t m_browserId;
  int32_t m_objectId;

  IMPLEMENT_REFCOUNTING(CNuvV8CallbackObjectHolder);
};

// The holder filed under `objectId` for `browserId`, or null. Looking up a
// browser that has no helper window creates none.
CefRefPtr<CNuvV8CallbackObjectHolder> FindCallback(int32_t browserId, int32_t objectId);

// Takes the holder filed under `objectId` for `browserId` out of the
// registry, when it is still the one filed there. For functions whose
// record never reached the client (its text did not fit): nobody can call
// them back, so they must not stay alive.
void ForgetCallback(int32_t browserId, int32_t objectId);

// Runs one call-back from the client: `jsonText` is {"objectId": id,
// "arguments": [records]}. Enters the function's context, decodes the
// arguments there and calls the function; the result and any exception are
// dropped. Unparsable text, unknown identifiers and released contexts do
// nothing.
void InvokeCallbackFromHost(uint32_t hostWindow, int32_t browserId, const std::u16string& jsonText);

#endif  // NUV_SRC_BRIDGE_CALLBACK_HOLDER_H_
