#include "tests/win_transport/peer_process.h"

#include <windows.h>

#include <string>

namespace nuv {
namespace testing {

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

PeerProcess::~PeerProcess() {
  if (running_)
    Kill();
}

bool PeerProcess::Start(const std::string& executable, const std::string& argument) {
  if (running_)
    return false;
  wchar_t path[MAX_PATH] = {};
  if (!executable.empty()) {
    int length = MultiByteToWideChar(CP_UTF8, 0, executable.c_str(), -1, path, MAX_PATH);
    if (length == 0)
      return false;
  } else {
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
      return false;
  }
  std::wstring command_line = L"\"" + std::wstring(path) + L"\" ";
  command_line.append(argument.begin(), argument.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(path, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  handle_ = reinterpret_cast<intptr_t>(info.hProcess);
  running_ = true;
  return true;
}

int PeerProcess::Wait(int timeout_ms) {
  if (!running_)
    return -1;
  HANDLE process = reinterpret_cast<HANDLE>(handle_);
  if (WaitForSingleObject(process, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) {
    Kill();
    return -1;
  }
  DWORD code = 0;
  BOOL have_code = GetExitCodeProcess(process, &code);
  CloseHandle(process);
  running_ = false;
  return have_code ? static_cast<int>(code) : -1;
}

void PeerProcess::Kill() {
  HANDLE process = reinterpret_cast<HANDLE>(handle_);
  TerminateProcess(process, 99);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
  running_ = false;
}

}  // namespace testing
}  // namespace nuv
