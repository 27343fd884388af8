// Process entry of nuv_subprocess on Windows: the wide GUI entry; only the
// module instance is used, the command line is read again whole.
#include <windows.h>

#include "include/cef_app.h"
#include "src/app/entry.h"

int APIENTRY wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  return RunSubprocess(CefMainArgs(instance));
}
