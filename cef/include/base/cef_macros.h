// Small helper macros that CEF client code commonly relies on.
#ifndef CEF_INCLUDE_BASE_CEF_MACROS_H_
#define CEF_INCLUDE_BASE_CEF_MACROS_H_
#pragma once

#include <cstddef>

#ifndef DISALLOW_COPY_AND_ASSIGN
#define DISALLOW_COPY_AND_ASSIGN(TypeName) \
  TypeName(const TypeName&) = delete;      \
  void operator=(const TypeName&) = delete
#endif

#ifndef DISALLOW_IMPLICIT_CONSTRUCTORS
#define DISALLOW_IMPLICIT_CONSTRUCTORS(TypeName) \
  TypeName() = delete;                           \
  DISALLOW_COPY_AND_ASSIGN(TypeName)
#endif

#ifndef OVERRIDE
#define OVERRIDE override
#endif

#ifndef arraysize
template <typename T, std::size_t N>
char (&CefArraySizeHelper(T (&array)[N]))[N];
#define arraysize(array) (sizeof(CefArraySizeHelper(array)))
#endif

#endif  // CEF_INCLUDE_BASE_CEF_MACROS_H_
