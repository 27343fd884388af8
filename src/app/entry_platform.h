// The parts of the sub-process entry that differ per operating system: where
// the process command line is read from and the main thread's COM apartment.
// entry_win.cc and entry_posix.cc implement them; src/app/entry.cc calls them.
#ifndef NUV_SRC_APP_ENTRY_PLATFORM_H_
#define NUV_SRC_APP_ENTRY_PLATFORM_H_

#include "include/cef_app.h"
#include "include/cef_command_line.h"

// Fills `commandLine` with the whole process command line, program first: on
// Windows from GetCommandLineW, on POSIX from the argument vector in `args`.
void ReadProcessCommandLine(const CefMainArgs& args, CefRefPtr<CefCommandLine> commandLine);

// Apartment set-up of the main thread (CoInitialize / CoUninitialize on
// Windows; POSIX has none).
void InitializeApartment();
void UninitializeApartment();

#endif  // NUV_SRC_APP_ENTRY_PLATFORM_H_
