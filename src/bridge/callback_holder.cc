#include "src/bridge/callback_holder.h"

#include "src/bridge/helper_window.h"
#include "src/common/text_conv.h"
#include "src/values/json_access.h"
#include "src/values/json_text.h"
#include "src/values/json_to_v8.h"
#include "src/values/render_thread_check.h"

CNuvV8CallbackObjectHolder::CNuvV8CallbackObjectHolder(CefRefPtr<CefV8Context> context,
                                                       CefRefPtr<CefV8Value> function,
                                                       int32_t browserId,
                                                       int32_t objectId)
    : m_context(context), m_function(function), m_browserId(browserId), m_objectId(objectId) {
  RegisterCallback();
}

CNuvV8CallbackObjectHolder::~CNuvV8CallbackObjectHolder() {
  m_function = nullptr;
  m_context = nullptr;
}

void CNuvV8CallbackObjectHolder::RegisterCallback() {
  NUV_REQUIRE_RENDER_THREAD_RETURN();
  CefRefPtr<CNuvV8CallbackObjectHolder> self(this);
  CNuvHelperWindowRef window = GetHelperWindow(m_browserId);
  CefRefPtr<CNuvV8CallbackObjectHolder> previous;
  CefRefPtr<CNuvV8CallbackObjectHolder>& slot = window->GetCallbacks()[m_objectId];
  // The holder filed before under the same identifier is released only
  // after the map is consistent again.
  previous.swap(slot);
  slot = self;
}

CefRefPtr<CefV8Value> CNuvV8CallbackObjectHolder::Invoke(const CefV8ValueList& arguments) {
  if (!m_function || !m_function->IsFunction())
    return nullptr;
  return m_function->ExecuteFunctionWithContext(m_context, nullptr, arguments);
}

CefRefPtr<CNuvV8CallbackObjectHolder> FindCallback(int32_t browserId, int32_t objectId) {
  NUV_REQUIRE_RENDER_THREAD_RETURN(nullptr);
  CNuvHelperWindowRef window = FindHelperWindow(browserId);
  if (!window)
    return nullptr;
  CNuvChromeBrowserComHelperWindow_RendererSide::CallbackMap& callbacks = window->GetCallbacks();
  auto found = callbacks.find(objectId);
  return found == callbacks.end() ? nullptr : found->second;
}

void ForgetCallback(int32_t browserId, int32_t objectId) {
  NUV_REQUIRE_RENDER_THREAD_RETURN();
  CNuvHelperWindowRef window = FindHelperWindow(browserId);
  if (!window)
    return;
  CNuvChromeBrowserComHelperWindow_RendererSide::CallbackMap& callbacks = window->GetCallbacks();
  auto found = callbacks.find(objectId);
  if (found == callbacks.end())
    return;
  // Released after the map no longer lists it.
  CefRefPtr<CNuvV8CallbackObjectHolder> holder;
  holder.swap(found->second);
  callbacks.erase(found);
}

void InvokeCallbackFromHost(uint32_t hostWindow,
                            int32_t browserId,
                            const std::u16string& jsonText) {
  NUV_REQUIRE_RENDER_THREAD_RETURN();
  Json::Value call;
  if (!ParseJsonText(WideToUtf8(jsonText), &call))
    return;
  const Json::Value arguments = JsonMember(call, "arguments");
  CefRefPtr<CNuvV8CallbackObjectHolder> holder =
      FindCallback(browserId, JsonId32(JsonMember(call, "objectId")));
  if (!holder)
    return;
  CefRefPtr<CefV8Context> context = holder->GetContext();
  if (!context || !context->Enter())
    return;
  CefV8ValueList list = JsonArrayToV8ValueList(hostWindow, context, browserId, arguments);
  holder->Invoke(list);
  context->Exit();
}
