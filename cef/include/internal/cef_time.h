// cef_time_t: a calendar time in UTC, and its conversions to and from time_t.
#ifndef CEF_INCLUDE_INTERNAL_CEF_TIME_H_
#define CEF_INCLUDE_INTERNAL_CEF_TIME_H_
#pragma once

#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _cef_time_t {
  int year;          // four digits, e.g. 2007
  int month;         // 1 = January ... 12 = December
  int day_of_week;   // 0 = Sunday ... 6 = Saturday
  int day_of_month;  // 1 ... 31
  int hour;          // 0 ... 23
  int minute;        // 0 ... 59
  int second;        // 0 ... 59 (60 for a leap second)
  int millisecond;   // 0 ... 999
} cef_time_t;

// All conversions are in UTC. They return 1 on success and 0 on failure
// (null pointers, fields out of range, times time_t cannot hold).
int cef_time_to_timet(const cef_time_t* cef_time, time_t* time);
int cef_time_from_timet(time_t time, cef_time_t* cef_time);
// Seconds since 1970-01-01 00:00 UTC, with a fraction for milliseconds.
int cef_time_to_doublet(const cef_time_t* cef_time, double* time);
int cef_time_from_doublet(double time, cef_time_t* cef_time);
int cef_time_now(cef_time_t* cef_time);
// |delta| receives cef_time2 - cef_time1 in milliseconds.
int cef_time_delta(const cef_time_t* cef_time1, const cef_time_t* cef_time2, long long* delta);

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_TIME_H_
