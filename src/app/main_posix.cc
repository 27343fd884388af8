// Process entry of nuv_subprocess on POSIX.
#include "include/internal/cef_main_args.h"
#include "src/app/entry.h"

int main(int argc, char* argv[]) {
  return RunSubprocess(CefMainArgs(argc, argv));
}
