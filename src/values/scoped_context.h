// Enters a script context for the lifetime of the holder (when it can be
// entered) and leaves it again; conversions create and read page values
// inside the context they were given.
#ifndef NUV_SRC_VALUES_SCOPED_CONTEXT_H_
#define NUV_SRC_VALUES_SCOPED_CONTEXT_H_

#include "include/cef_v8.h"

class CNuvScopedContextEntry {
 public:
  explicit CNuvScopedContextEntry(const CefRefPtr<CefV8Context>& context)
      : m_context(context), m_entered(context && context->Enter()) {}
  CNuvScopedContextEntry(const CNuvScopedContextEntry&) = delete;
  CNuvScopedContextEntry& operator=(const CNuvScopedContextEntry&) = delete;
  ~CNuvScopedContextEntry() {
    if (m_entered)
      m_context->Exit();
  }

 private:
  CefRefPtr<CefV8Context> m_context;
  bool m_entered;
};

#endif  // NUV_SRC_VALUES_SCOPED_CONTEXT_H_
