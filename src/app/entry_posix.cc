// The POSIX side of the sub-process entry: the command line is the argument
// vector main() received; there is no COM apartment.
#include "src/app/entry_platform.h"

void ReadProcessCommandLine(const CefMainArgs& args, CefRefPtr<CefCommandLine> commandLine) {
  commandLine->InitFromArgv(args.argc, args.argv);
}

void InitializeApartment() {}

void UninitializeApartment() {}
