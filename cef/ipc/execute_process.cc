// CefExecuteProcess: the entry of every sub-process. The process type comes
// from the "type" switch; the render loop serves "renderer" processes on the
// calling (main) thread, which is the render thread for the life of the
// process, as in a multi-process Chromium renderer. Decisions per type are
// described in docs/runtime-ipc.md.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <string>

#include "cef/ipc/ipc_log.h"
#include "cef/ipc/ipc_switches.h"
#include "cef/ipc/render_loop.h"
#include "cef/runtime/render_runtime.h"
#include "include/cef_app.h"
#include "include/cef_command_line.h"

namespace {

// Chromium sub-process types that have nothing to run in this runtime:
// they end at once, successfully.
const char* const kIdleProcessTypes[] = {"gpu-process",  "utility", "zygote", "ppapi",
                                         "ppapi-broker", "plugin",  "broker", "crashpad-handler"};

constexpr int kExitUnknownType = 1;
constexpr int kExitNoSocket = 1;

void Log(const std::string& line) {
  cefipc::IpcLog("render", line);
}

// Strict decimal: digits only, no sign, no blanks, at most INT_MAX.
bool ParseFd(const std::string& text, int* fd) {
  if (text.empty() || text.size() > 10)
    return false;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return false;
    value = value * 10 + (c - '0');
  }
  if (value > INT_MAX)
    return false;
  *fd = static_cast<int>(value);
  return true;
}

// The inherited socket, or -1 with a log line saying what is wrong.
int TakeIpcSocket(CefRefPtr<CefCommandLine> command_line) {
  const std::string value = command_line->GetSwitchValue(cefipc::kIpcFdSwitch).ToString();
  int fd = -1;
  if (!ParseFd(value, &fd)) {
    Log(std::string("renderer started without a usable --") + cefipc::kIpcFdSwitch + " (\"" +
        value + "\"); nothing to serve");
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    Log(std::string("--") + cefipc::kIpcFdSwitch + "=" + value +
        " is not open: " + std::strerror(errno));
    return -1;
  }
  if (!S_ISSOCK(st.st_mode)) {
    Log(std::string("--") + cefipc::kIpcFdSwitch + "=" + value + " is not a socket");
    return -1;
  }
  // Processes this one may start must not keep the client's socket alive.
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
}

int RunRenderer(CefRefPtr<CefApp> application, CefRefPtr<CefCommandLine> command_line) {
  const int fd = TakeIpcSocket(command_line);
  if (fd < 0)
    return kExitNoSocket;
  // As CEF: the browser process's setting arrives as a switch.
  cefrt::RenderRuntimeSettings settings;
  settings.uncaught_exception_stack_size = cefrt::UncaughtExceptionStackSize(command_line);
  cefipc::RenderLoop loop(fd, settings);
  return loop.Run(application);
}

}  // namespace

int CefExecuteProcess(const CefMainArgs& args,
                      CefRefPtr<CefApp> application,
                      void* windows_sandbox_info) {
  try {
    CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
    if (!command_line)
      return -1;
    command_line->InitFromArgv(args.argc, args.argv);
    const CefString type = command_line->GetSwitchValue(cefipc::kProcessTypeSwitch);
    // No type: this is the browser process, which the caller runs itself.
    if (type.empty())
      return -1;

    cefrt::SetGlobalCommandLine(command_line);
    if (application)
      application->OnBeforeCommandLineProcessing(type, command_line);

    const std::string type_text = type.ToString();
    if (type_text == cefipc::kRendererProcessType)
      return RunRenderer(application, command_line);
    for (const char* idle : kIdleProcessTypes) {
      if (type_text == idle)
        return 0;
    }
    Log("unknown sub-process type \"" + type_text + "\"");
    return kExitUnknownType;
  } catch (const std::exception& e) {
    Log(std::string("sub-process failed with an exception: ") + e.what());
  } catch (...) {
    Log("sub-process failed with an exception");
  }
  return 1;
}
