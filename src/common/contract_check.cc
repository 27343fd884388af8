#include "src/common/contract_check.h"

#include <cstdio>

void NuvReportBrokenContract(const char* function, const char* what) {
  std::fprintf(stderr, "nuv: %s: %s\n", function ? function : "?", what ? what : "?");
  std::fflush(stderr);
}
