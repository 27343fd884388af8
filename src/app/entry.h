// The sub-process entry routine: stores the two paths of the command line in
// the process's settings object, creates the application object and hands
// control to CEF's sub-process runner, whose result is the exit code.
#ifndef NUV_SRC_APP_ENTRY_H_
#define NUV_SRC_APP_ENTRY_H_

#include "include/cef_app.h"

// Runs the whole sub-process. On POSIX `args` carries the argument vector,
// which is also the command line the switches are read from; on Windows the
// module instance, and the command line comes from GetCommandLineW.
int RunSubprocess(const CefMainArgs& args);

#endif  // NUV_SRC_APP_ENTRY_H_
