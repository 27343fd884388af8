// CefBase: the reference-counted root of every CEF interface class, and
// IMPLEMENT_REFCOUNTING, which gives a concrete class its counter.
#ifndef CEF_INCLUDE_CEF_BASE_H_
#define CEF_INCLUDE_CEF_BASE_H_
#pragma once

#include <atomic>

#include "include/base/cef_basictypes.h"
#include "include/base/cef_macros.h"
#include "include/internal/cef_ptr.h"
#include "include/internal/cef_string.h"
#include "include/internal/cef_types.h"
#include "include/internal/cef_types_wrappers.h"

// CefMainArgs and the other per-platform wrappers.
#if defined(_WIN32)
#include "include/internal/cef_win.h"
#else
#include "include/internal/cef_linux.h"
#endif

class CefBase {
 public:
  // Adds a reference; thread-safe.
  virtual void AddRef() const = 0;
  // Drops a reference and deletes the object when none remain; returns true
  // when this call deleted it.
  virtual bool Release() const = 0;
  // True when exactly one reference is held.
  virtual bool HasOneRef() const = 0;

 protected:
  virtual ~CefBase() {}
};

// The counter behind IMPLEMENT_REFCOUNTING.
class CefRefCount {
 public:
  CefRefCount() : ref_count_(0) {}
  CefRefCount(const CefRefCount&) = delete;
  CefRefCount& operator=(const CefRefCount&) = delete;

  void AddRef() const { ref_count_.fetch_add(1, std::memory_order_relaxed); }
  // True when the count dropped to zero.
  bool Release() const { return ref_count_.fetch_sub(1, std::memory_order_acq_rel) == 1; }
  bool HasOneRef() const { return ref_count_.load(std::memory_order_acquire) == 1; }

 private:
  mutable std::atomic<int> ref_count_;
};

#define IMPLEMENT_REFCOUNTING(ClassName)          \
 public:                                          \
  void AddRef() const override {                  \
    ref_count_.AddRef();                          \
  }                                               \
  bool Release() const override {                 \
    if (ref_count_.Release()) {                   \
      delete static_cast<const ClassName*>(this); \
      return true;                                \
    }                                             \
    return false;                                 \
  }                                               \
  bool HasOneRef() const override {               \
    return ref_count_.HasOneRef();                \
  }                                               \
                                                  \
 private:                                         \
  CefRefCount ref_count_;

#endif  // CEF_INCLUDE_CEF_BASE_H_
