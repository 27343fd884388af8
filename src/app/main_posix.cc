// Process entry of nuv_subprocess on POSIX.
#include "include/cef_app.h"
#include "src/app/entry.h"

int main(int argc, char* argv[]) {
  return RunSubprocess(CefMainArgs(argc, argv));
}
