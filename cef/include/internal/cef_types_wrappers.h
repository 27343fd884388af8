// C++ wrappers of CEF's plain structures: CefTime.
#ifndef CEF_INCLUDE_INTERNAL_CEF_TYPES_WRAPPERS_H_
#define CEF_INCLUDE_INTERNAL_CEF_TYPES_WRAPPERS_H_
#pragma once

#include "include/internal/cef_types.h"

// A cef_time_t (UTC) with conversions; a default CefTime is all zeros.
class CefTime : public cef_time_t {
 public:
  CefTime() : cef_time_t() {}
  CefTime(const cef_time_t& r) : cef_time_t(r) {}  // NOLINT(runtime/explicit)
  CefTime(const CefTime& r) = default;
  explicit CefTime(time_t r) : cef_time_t() { SetTimeT(r); }
  explicit CefTime(double r) : cef_time_t() { SetDoubleT(r); }
  CefTime& operator=(const CefTime& r) = default;
  CefTime& operator=(const cef_time_t& r) {
    cef_time_t::operator=(r);
    return *this;
  }

  void SetTimeT(time_t r) { cef_time_from_timet(r, this); }
  time_t GetTimeT() const {
    time_t time = 0;
    cef_time_to_timet(this, &time);
    return time;
  }
  void SetDoubleT(double r) { cef_time_from_doublet(r, this); }
  double GetDoubleT() const {
    double time = 0;
    cef_time_to_doublet(this, &time);
    return time;
  }
  void Now() { cef_time_now(this); }
  long long Delta(const CefTime& other) {
    long long delta = 0;
    cef_time_delta(this, &other, &delta);
    return delta;
  }
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_TYPES_WRAPPERS_H_
