// The test helpers on Windows: GetTempPathW, CreateProcessW with an
// environment block of its own, SetEnvironmentVariableW, the registry.
#include "tests/common/test_util.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

namespace nuv_test {

namespace {

std::wstring W(const std::string& utf8) {
  std::u16string text = U16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string N(const std::wstring& wide) {
  return U8(std::u16string(wide.begin(), wide.end()));
}

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

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// This process's environment with `env` set, as a CreateProcessW block.
std::wstring EnvironmentBlock(const EnvList& env) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; entry && *entry; entry += wcslen(entry) + 1) {
    std::wstring text = entry;
    // Names start after a leading '=' (the per-drive directories "=C:=...").
    size_t equals = text.find(L'=', 1);
    std::wstring name = text.substr(0, equals);
    bool replaced = false;
    for (const auto& item : env)
      replaced = replaced || SameName(name, W(item.first));
    if (!replaced)
      block += text + L'\0';
  }
  FreeEnvironmentStringsW(strings);
  for (const auto& [name, value] : env)
    block += W(name) + L"=" + W(value) + L'\0';
  block += L'\0';
  return block;
}

// Children are started one at a time: the write end of a child's output
// pipe is inheritable only while its own CreateProcessW runs, so no other
// child inherits it and every reader sees the end of its output.
std::mutex g_start_lock;

}  // namespace

ScratchDir::ScratchDir() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH)
    return;
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    std::wstring dir = std::wstring(temp) + L"nuv_common_" +
                       std::to_wstring(GetCurrentProcessId()) + L"_" +
                       std::to_wstring(InterlockedIncrement(&counter));
    if (CreateDirectoryW(dir.c_str(), nullptr))
      path_ = N(dir);
  }
}

ScratchDir::~ScratchDir() {
  if (!path_.empty())
    RemoveTree(W(path_));
}

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  FILE* file = _wfopen(W(path).c_str(), L"rb");
  if (!file)
    return bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
    bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* file = _wfopen(W(path).c_str(), L"wb");
  if (!file)
    return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

bool MakeDir(const std::string& path) {
  return CreateDirectoryW(W(path).c_str(), nullptr) != FALSE;
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesW(W(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ThisProgram() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  return length > 0 && length <= MAX_PATH ? N(std::wstring(path, length)) : std::string();
}

std::string TestBinDir() {
  const std::string exe = ThisProgram();
  return exe.substr(0, exe.find_last_of("\\/") + 1);
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string CopyProbe(const std::string& dir) {
  std::string target = dir + "\\nuv_common_probe.exe";
  CopyFileW(W(TestBinDir() + "nuv_common_probe.exe").c_str(), W(target).c_str(), FALSE);
  return target;
}

uint32_t CurrentProcessId() {
  return GetCurrentProcessId();
}

std::string UncreatablePath() {
  // A drive letter that names no drive.
  DWORD drives = GetLogicalDrives();
  char letter = 'Y';
  while (letter > 'D' && (drives & (1u << (letter - 'A'))))
    --letter;
  return std::string(1, letter) + ":\\nuv_cannot_create\\x";
}

std::string GetEnv(const std::string& name, bool* set) {
  std::wstring value(32767, L'\0');
  SetLastError(ERROR_SUCCESS);
  DWORD length = GetEnvironmentVariableW(W(name).c_str(), &value[0], 32767);
  bool exists = length > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  if (set)
    *set = exists;
  value.resize(length < 32767 ? length : 0);
  return N(value);
}

ScopedEnv::ScopedEnv(const std::string& name, const char* value) : name_(name) {
  old_ = GetEnv(name, &had_);
  SetEnvironmentVariableW(W(name).c_str(), value ? W(value).c_str() : nullptr);
}

ScopedEnv::~ScopedEnv() {
  SetEnvironmentVariableW(W(name_).c_str(), had_ ? W(old_).c_str() : nullptr);
}

bool ChildProcess::Start(const std::string& program,
                         const std::vector<std::string>& args,
                         const EnvList& env,
                         ChildStreams streams) {
  if (process_ != -1)
    return false;
  std::wstring command_line = W(QuoteArgument(program));
  for (const std::string& arg : args)
    command_line += L" " + W(QuoteArgument(arg));
  std::wstring block = EnvironmentBlock(env);

  // The child's ends are made inheritable only under the lock, so that no
  // other child started meanwhile inherits them.
  HANDLE out_read = nullptr, out_write = nullptr, in_read = nullptr, in_write = nullptr;
  const bool pipe_out = streams != ChildStreams::kInherit;
  const bool pipe_in = streams == ChildStreams::kTalk;
  if ((pipe_out && !CreatePipe(&out_read, &out_write, nullptr, 0)) ||
      (pipe_in && !CreatePipe(&in_read, &in_write, nullptr, 0))) {
    for (HANDLE handle : {out_read, out_write, in_read, in_write})
      if (handle)
        CloseHandle(handle);
    return false;
  }
  PROCESS_INFORMATION info = {};
  BOOL started;
  {
    std::lock_guard<std::mutex> hold(g_start_lock);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (pipe_out) {
      for (HANDLE handle : {out_write, in_read})
        if (handle)
          SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdInput = pipe_in ? in_read : GetStdHandle(STD_INPUT_HANDLE);
      startup.hStdOutput = out_write;
      startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    started = CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, pipe_out ? TRUE : FALSE,
                             CREATE_UNICODE_ENVIRONMENT, &block[0], nullptr, &startup, &info);
    for (HANDLE handle : {out_write, in_read})
      if (handle)
        CloseHandle(handle);
  }
  if (!started) {
    for (HANDLE handle : {out_read, in_write})
      if (handle)
        CloseHandle(handle);
    return false;
  }
  CloseHandle(info.hThread);
  streams_ = streams;
  process_ = reinterpret_cast<intptr_t>(info.hProcess);
  process_id_ = info.dwProcessId;
  output_ = out_read ? reinterpret_cast<intptr_t>(out_read) : -1;
  input_ = in_write ? reinterpret_cast<intptr_t>(in_write) : -1;
  return true;
}

bool ChildProcess::ReadOutput(void* bytes, size_t size) {
  auto* at = static_cast<char*>(bytes);
  while (size > 0 && output_ != -1) {
    DWORD got = 0;
    const DWORD ask = size > 65536 ? 65536 : static_cast<DWORD>(size);
    if (!ReadFile(reinterpret_cast<HANDLE>(output_), at, ask, &got, nullptr) || got == 0)
      return false;
    at += got;
    size -= got;
  }
  return size == 0;
}

bool ChildProcess::WriteInput(const void* bytes, size_t size) {
  const auto* at = static_cast<const char*>(bytes);
  while (size > 0 && input_ != -1) {
    DWORD written = 0;
    const DWORD give = size > 65536 ? 65536 : static_cast<DWORD>(size);
    if (!WriteFile(reinterpret_cast<HANDLE>(input_), at, give, &written, nullptr) || written == 0)
      return false;
    at += written;
    size -= written;
  }
  return size == 0;
}

void ChildProcess::CloseInput() {
  if (input_ != -1)
    CloseHandle(reinterpret_cast<HANDLE>(input_));
  input_ = -1;
}

void ChildProcess::Forget() {
  CloseInput();
  if (output_ != -1)
    CloseHandle(reinterpret_cast<HANDLE>(output_));
  if (process_ != -1)
    CloseHandle(reinterpret_cast<HANDLE>(process_));
  output_ = -1;
  process_ = -1;
}

int ChildProcess::WaitFor(int timeout_ms) {
  if (process_ == -1)
    return -1;
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  if (WaitForSingleObject(process, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) {
    Kill();
    return -1;
  }
  DWORD code = 0;
  const BOOL have_code = GetExitCodeProcess(process, &code);
  Forget();
  return have_code ? static_cast<int>(code) : -1;
}

void ChildProcess::Kill() {
  if (process_ == -1)
    return;
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  TerminateProcess(process, 99);
  WaitForSingleObject(process, 5000);
  Forget();
}

ChildResult ChildProcess::Wait() {
  ChildResult result;
  if (process_ == -1)
    return result;
  CloseInput();
  HANDLE process = reinterpret_cast<HANDLE>(process_);
  char buffer[65536];
  DWORD read = 0;
  while (output_ != -1 &&
         ReadFile(reinterpret_cast<HANDLE>(output_), buffer, sizeof(buffer), &read, nullptr) &&
         read > 0)
    result.output.append(buffer, read);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process, &code))
    result.exit_code = static_cast<int>(code);
  result.process_id = process_id_;
  Forget();
  return result;
}

UserSettings::UserSettings() = default;

UserSettings::~UserSettings() {
  for (const std::string& product : products_)
    RegDeleteKeyW(HKEY_CURRENT_USER, W("Software\\" + product).c_str());
}

EnvList UserSettings::Env() const {
  return {};
}

bool UserSettings::SetRaw(const std::string& product,
                          const std::string& name,
                          const std::string& bytes,
                          uint32_t windows_type) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, W("Software\\" + product).c_str(), 0, nullptr, 0,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  products_.push_back(product);
  LONG result =
      RegSetValueExW(key, W(name).c_str(), 0, windows_type,
                     reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool UserSettings::SetDword(const std::string& product, const std::string& name, uint32_t value) {
  return SetRaw(product, name, std::string(reinterpret_cast<const char*>(&value), 4), REG_DWORD);
}

bool UserSettings::SetInvalid(const std::string& product, const std::string& name) {
  return SetRaw(product, name, Utf16Le(u"garbage") + std::string(2, '\0'), REG_SZ);
}

}  // namespace nuv_test
