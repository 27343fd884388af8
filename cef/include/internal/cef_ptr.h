// CefRefPtr: the smart pointer that holds one reference to a CEF
// reference-counted object (anything with AddRef() and Release()).
#ifndef CEF_INCLUDE_INTERNAL_CEF_PTR_H_
#define CEF_INCLUDE_INTERNAL_CEF_PTR_H_
#pragma once

#include <cstddef>
#include <utility>

template <class T>
class CefRefPtr {
 public:
  typedef T element_type;

  CefRefPtr() : ptr_(nullptr) {}
  CefRefPtr(std::nullptr_t) : ptr_(nullptr) {}  // NOLINT(runtime/explicit)
  CefRefPtr(T* p) : ptr_(p) {                   // NOLINT(runtime/explicit)
    if (ptr_)
      ptr_->AddRef();
  }
  CefRefPtr(const CefRefPtr<T>& r) : CefRefPtr(r.ptr_) {}
  CefRefPtr(CefRefPtr<T>&& r) noexcept : ptr_(r.ptr_) { r.ptr_ = nullptr; }
  template <typename U>
  CefRefPtr(const CefRefPtr<U>& r) : CefRefPtr(r.get()) {}  // NOLINT(runtime/explicit)

  ~CefRefPtr() {
    if (ptr_)
      ptr_->Release();
  }

  T* get() const { return ptr_; }
  operator T*() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  T* operator->() const { return ptr_; }

  CefRefPtr<T>& operator=(T* p) {
    // AddRef first so that assigning an object to itself is safe.
    if (p)
      p->AddRef();
    T* old = ptr_;
    ptr_ = p;
    if (old)
      old->Release();
    return *this;
  }
  CefRefPtr<T>& operator=(const CefRefPtr<T>& r) { return *this = r.ptr_; }
  CefRefPtr<T>& operator=(CefRefPtr<T>&& r) noexcept {
    if (this != &r) {
      T* old = ptr_;
      ptr_ = r.ptr_;
      r.ptr_ = nullptr;
      if (old)
        old->Release();
    }
    return *this;
  }
  template <typename U>
  CefRefPtr<T>& operator=(const CefRefPtr<U>& r) {
    return *this = r.get();
  }

  void swap(T** pp) { std::swap(ptr_, *pp); }
  void swap(CefRefPtr<T>& r) { std::swap(ptr_, r.ptr_); }

 private:
  T* ptr_;
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_PTR_H_
