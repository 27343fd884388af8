#include "tests/win_common/win_test_util.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace nuv_win_test {

namespace {

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..")
        continue;
      std::wstring path = dir + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty())
    return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty())
    return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string utf8(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr,
                      nullptr);
  return utf8;
}

ScratchDir::ScratchDir() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    std::wstring dir = std::wstring(temp) + L"nuv_win_common_" +
                       std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
    if (CreateDirectoryW(dir.c_str(), nullptr))
      path_ = Utf8(dir);
  }
}

ScratchDir::~ScratchDir() {
  if (!path_.empty())
    RemoveTree(Wide(path_));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(Wide(path).c_str(), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(Wide(path).c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

std::string TestBinDir() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, length);
  return Utf8(dir.substr(0, dir.find_last_of(L"\\/") + 1));
}

bool SetUserValue(const std::string& product,
                  const std::string& name,
                  uint32_t type,
                  const std::string& data) {
  HKEY key = nullptr;
  std::wstring path = L"Software\\" + Wide(product);
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG result =
      RegSetValueExW(key, Wide(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

void DeleteUserKey(const std::string& product) {
  RegDeleteKeyW(HKEY_CURRENT_USER, (L"Software\\" + Wide(product)).c_str());
}

ChildResult RunChild(const std::string& program,
                     const std::vector<std::string>& args,
                     const std::vector<std::pair<std::string, std::string>>& env) {
  ChildResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0))
    return result;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  std::wstring command_line = L"\"" + Wide(program) + L"\"";
  for (const std::string& arg : args)
    command_line += L" \"" + Wide(arg) + L"\"";
  // The child inherits this process's environment with the overrides set;
  // the old values come back right after the start.
  std::vector<std::pair<std::wstring, std::wstring>> saved;
  std::vector<bool> had;
  for (const auto& [name, value] : env) {
    wchar_t old[32768];
    DWORD length = GetEnvironmentVariableW(Wide(name).c_str(), old, 32768);
    saved.emplace_back(Wide(name), std::wstring(old, length));
    had.push_back(length > 0);
    SetEnvironmentVariableW(Wide(name).c_str(), Wide(value).c_str());
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info = {};
  BOOL started = CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &info);
  for (size_t i = 0; i < saved.size(); ++i)
    SetEnvironmentVariableW(saved[i].first.c_str(), had[i] ? saved[i].second.c_str() : nullptr);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return result;
  }
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(read_end, buffer, sizeof(buffer), &read, nullptr) && read > 0)
    result.output.append(buffer, read);
  CloseHandle(read_end);
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  result.exit_code = static_cast<int>(code);
  result.process_id = info.dwProcessId;
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return result;
}

}  // namespace nuv_win_test
