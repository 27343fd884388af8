// Checked contracts: a function that requires something of its caller
// ("render thread only", ...) checks it on entry and, when it does not
// hold, returns its failure value instead of going on. Debug builds (and
// builds that define NUV_REPORT_CONTRACTS) also write one line to stderr
// naming the function and what was wrong, the way CEF's require-macros
// report misuse of its own interface:
//   nuv: FindCallback: called on invalid thread (not the render thread)
// Release builds only make the check; it must stay cheap.
#ifndef NUV_SRC_COMMON_CONTRACT_CHECK_H_
#define NUV_SRC_COMMON_CONTRACT_CHECK_H_

#if !defined(NDEBUG) || defined(NUV_REPORT_CONTRACTS)
#define NUV_CONTRACT_REPORTS 1
#else
#define NUV_CONTRACT_REPORTS 0
#endif

// Writes "nuv: <function>: <what>" to stderr. Use it through the macros.
void NuvReportBrokenContract(const char* function, const char* what);

// `holds`, after reporting `what` for `function` when it does not.
inline bool NuvCheckContract(bool holds, const char* function, const char* what) {
  if (!holds && NUV_CONTRACT_REPORTS)
    NuvReportBrokenContract(function, what);
  return holds;
}

// Returns `failure` (nothing, for a function without a result) from the
// calling function when `condition` does not hold.
#define NUV_REQUIRE_RETURN(condition, what, failure)    \
  do {                                                  \
    if (!NuvCheckContract((condition), __func__, what)) \
      return failure;                                   \
  } while (0)

#endif  // NUV_SRC_COMMON_CONTRACT_CHECK_H_
