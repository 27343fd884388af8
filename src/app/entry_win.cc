// The Windows side of the sub-process entry: the command line as the process
// got it, and a single-threaded COM apartment for the main thread.
#include "src/app/entry_platform.h"

#include <objbase.h>
#include <windows.h>

void ReadProcessCommandLine(const CefMainArgs& args, CefRefPtr<CefCommandLine> commandLine) {
  commandLine->InitFromString(CefString(::GetCommandLineW()));
}

void InitializeApartment() {
  ::CoInitialize(nullptr);
}

void UninitializeApartment() {
  ::CoUninitialize();
}
