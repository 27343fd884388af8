// Fixed-size integer and character names used throughout the CEF interface.
#ifndef CEF_INCLUDE_BASE_CEF_BASICTYPES_H_
#define CEF_INCLUDE_BASE_CEF_BASICTYPES_H_
#pragma once

#include <cstddef>
#include <cstdint>

typedef std::int32_t int32;
typedef std::uint32_t uint32;
typedef std::int64_t int64;
typedef std::uint64_t uint64;

// One UTF-16 code unit. Real CEF uses wchar_t on Windows and unsigned short
// elsewhere; this runtime uses char16_t everywhere, so code that must work
// with both converts through CefString::c_str() and length().
typedef char16_t char16;

#endif  // CEF_INCLUDE_BASE_CEF_BASICTYPES_H_
