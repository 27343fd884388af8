// A child process for the tests of the common library. Commands:
//   global                      product name, inner name, language, default temp path
//   log <path> <count> <text>   <count> lines through WriteLog
//   debuglog <path> <text> ...  one line through WriteDebugLog
//   temp <override>             GetTempPath with the override set
//   utf8 <text>                 WideToUtf8(Utf8ToWide(text)) as raw bytes
//   utf8scope <text>            the same three times, "|" between them: in a
//                               table scope, again in it after the table file
//                               is removed, and once more after the scope
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include "platform/code_page.h"
#endif

#include "platform/file_util.h"
#include "platform/module_path.h"
#include "src/app/process_global.h"
#include "src/common/config.h"
#include "src/common/text_conv.h"

namespace {

void Print(const std::u16string& text) {
  std::string bytes = WideToUtf8(text);
  fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// The arguments as UTF-8. On Windows main's argv is in the ANSI code page,
// so they are taken from the wide command line instead.
std::vector<std::string> Arguments(int argc, char** argv) {
#if defined(_WIN32)
  (void)argc;
  (void)argv;
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; wide && i < count; ++i) {
    std::string arg;
    nuv::platform::WideToMultiByte(nuv::platform::kCodePageUtf8,
                                   reinterpret_cast<const char16_t*>(wide[i]), wcslen(wide[i]),
                                   &arg);
    args.push_back(arg);
  }
  LocalFree(wide);
  return args;
#else
  return std::vector<std::string>(argv, argv + argc);
#endif
}

// A substitution table file: the byte-order mark, then `entry` as UTF-16LE.
void WriteTable(const std::u16string& path, const std::u16string& entry) {
  FILE* file = nuv::platform::OpenFile(path, "wb");
  if (!file)
    return;
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : entry) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

// What the watch in the product relies on: a change counts once the system
// has signalled it. Windows signals a change before the call that made it
// returns; wine's server does so a moment later. So on Windows the probe
// waits, after each change, until a change notification of its own on the
// same folder has fired (the server signals every watcher of one change in
// the same step), having first drained whatever was still pending, so that
// a signal seen here always comes from a change made after the last
// conversion. POSIX needs nothing: inotify queues the change synchronously.
class ChangeSignal {
 public:
#if defined(_WIN32)
  explicit ChangeSignal(const std::u16string& folder)
      : handle_(FindFirstChangeNotificationW(
            reinterpret_cast<const wchar_t*>(folder.c_str()),
            TRUE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                FILE_NOTIFY_CHANGE_LAST_WRITE)) {}
  ~ChangeSignal() {
    if (handle_ != INVALID_HANDLE_VALUE)
      FindCloseChangeNotification(handle_);
  }
  void Drain() {
    while (handle_ != INVALID_HANDLE_VALUE && WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0)
      FindNextChangeNotification(handle_);
  }
  void Await() {
    if (handle_ != INVALID_HANDLE_VALUE && WaitForSingleObject(handle_, 5000) == WAIT_OBJECT_0)
      FindNextChangeNotification(handle_);
  }

 private:
  HANDLE handle_;
#else
  explicit ChangeSignal(const std::u16string&) {}
  void Drain() {}
  void Await() {}
#endif
};

}  // namespace

int main(int argc, char** raw_argv) {
#if defined(_WIN32)
  // The output is compared byte for byte: no LF to CR LF translation.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const std::vector<std::string> arguments = Arguments(argc, raw_argv);
  argc = static_cast<int>(arguments.size());
  std::vector<const char*> argv;
  for (const std::string& arg : arguments)
    argv.push_back(arg.c_str());
  if (argc < 2)
    return 2;
  std::string command = argv[1];
  if (command == "utf8" && argc == 3) {
    std::string bytes = WideToUtf8(Utf8ToWide(argv[2]));
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    return 0;
  }
  if (command == "utf8scope" && argc == 3) {
    const std::u16string text = Utf8ToWide(argv[2]);
    std::string out;
    {
      CNuvCharacterTableScope scope;
      out = WideToUtf8(text) + "|";
      nuv::platform::RemoveFile(nuv::platform::GetModuleDirectory() + u"strconv/65001.txt");
      CNuvCharacterTableScope nested;
      out += WideToUtf8(text) + "|";
    }
    out += WideToUtf8(text);
    fwrite(out.data(), 1, out.size(), stdout);
    return 0;
  }
  if (command == "utf8watch" && argc == 3) {
    // The table's folder and file appear, change and go while this process
    // keeps converting: each conversion must see the table as it is then.
    const std::u16string text = Utf8ToWide(argv[2]);
    const std::u16string folder = nuv::platform::GetModuleDirectory() + u"strconv";
    const std::u16string table = folder + u"/65001.txt";
    std::u16string module_folder = nuv::platform::GetModuleDirectory();
    module_folder.pop_back();
    ChangeSignal signal(module_folder);
    std::string out = WideToUtf8(text);
    auto change = [&](auto make_change) {
      signal.Drain();
      make_change();
      signal.Await();
      out += "|" + WideToUtf8(text);
    };
    change([&] { nuv::platform::MakeDirectory(folder); });
    for (const char16_t* entry : {u"a=x", u"b=y"})
      change([&] { WriteTable(table, entry); });
    change([&] { nuv::platform::RemoveFile(table); });
    change([&] { WriteTable(table, u"c=z"); });
    fwrite(out.data(), 1, out.size(), stdout);
    return 0;
  }
  CNuvChromeProcessGlobal* global = GetChromeProcessGlobal();
  if (command == "global") {
    printf("product=");
    Print(global->GetProductName());
    printf("\ninner=");
    Print(global->GetInnerProductName());
    printf("\nlang=%u\ntemp=", GetUiLanguage());
    Print(global->GetDefaultTempPath());
    printf("\n");
    return 0;
  }
  if (command == "log" && argc == 5) {
    global->SetLogFilePath(Utf8ToWide(argv[2]));
    int count = atoi(argv[3]);
    std::u16string text = Utf8ToWide(argv[4]);
    for (int i = 0; i < count; ++i)
      GetProcessGlobal()->WriteLog(text.c_str(), 0);
    return 0;
  }
  if (command == "debuglog" && argc >= 4) {
    global->SetLogFilePath(Utf8ToWide(argv[2]));
    GetProcessGlobal()->WriteDebugLog(Utf8ToWide(argv[3]).c_str());
    return 0;
  }
  if (command == "temp" && argc == 3) {
    global->SetTempPathOverride(Utf8ToWide(argv[2]));
    Print(GetProcessGlobal()->GetTempPath());
    return 0;
  }
  return 2;
}
