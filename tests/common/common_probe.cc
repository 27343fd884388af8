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

// A conversion once a change of the table shows. On POSIX that is the very
// next conversion: inotify queues the change before the call that made it
// returns, and that is what is tested there. Windows signals a change when
// it records it, and wine's server some time after the call returns (and
// arms a new watch a moment after asking), so on Windows the probe converts
// again, for up to 5 s, until the result differs from `before`: a change
// that is never noticed still fails.
std::string ConvertAfterChange(const std::u16string& text, const std::string& before) {
  std::string result = WideToUtf8(text);
#if defined(_WIN32)
  for (int waited = 0; result == before && waited < 5000; waited += 10) {
    Sleep(10);
    result = WideToUtf8(text);
  }
#else
  (void)before;
#endif
  return result;
}

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
    std::string in_scope;
    std::string out;
    {
      CNuvCharacterTableScope scope;
      out = WideToUtf8(text) + "|";
      nuv::platform::RemoveFile(nuv::platform::GetModuleDirectory() + u"strconv/65001.txt");
      CNuvCharacterTableScope nested;
      in_scope = WideToUtf8(text);
      out += in_scope + "|";
    }
    out += ConvertAfterChange(text, in_scope);
    fwrite(out.data(), 1, out.size(), stdout);
    return 0;
  }
  if (command == "utf8watch" && argc == 3) {
    // The table's folder and file appear, change and go while this process
    // keeps converting: each conversion must see the table as it is then.
    const std::u16string text = Utf8ToWide(argv[2]);
    const std::u16string folder = nuv::platform::GetModuleDirectory() + u"strconv";
    const std::u16string table = folder + u"/65001.txt";
    std::string last = WideToUtf8(text);
    std::string out = last;
    nuv::platform::MakeDirectory(folder);  // changes nothing of the result
    last = WideToUtf8(text);
    out += "|" + last;
    auto change = [&](auto make_change) {
      make_change();
      last = ConvertAfterChange(text, last);
      out += "|" + last;
    };
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
