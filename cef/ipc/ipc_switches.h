// The command-line switches of the runtime's IPC, shared by the render
// process and the client that starts it.
#ifndef CEF_IPC_IPC_SWITCHES_H_
#define CEF_IPC_IPC_SWITCHES_H_

namespace cefipc {

// CEF's sub-process type: "renderer" runs the render loop.
constexpr char kProcessTypeSwitch[] = "type";
constexpr char kRendererProcessType[] = "renderer";

// Decimal number of the inherited stream socket connected to the client,
// e.g. --cef-ipc-fd=3. Only render processes read it.
constexpr char kIpcFdSwitch[] = "cef-ipc-fd";

// CEF's: frames of the stack trace of uncaught exceptions; without a
// positive value the render process reports none.
constexpr char kUncaughtExceptionStackSizeSwitch[] = "uncaught-exception-stack-size";

}  // namespace cefipc

#endif  // CEF_IPC_IPC_SWITCHES_H_
