// A child process for the Windows tests of the common library, built on the
// program's own settings object. Output is UTF-8 with LF line ends. Commands:
//   global                      product name, inner name, language, temp path
//   log <path> <count> <text>   <count> lines through WriteLog
//   debuglog <path> <text> ...  one line through WriteDebugLog
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "src/app/process_global.h"
#include "src/common/config.h"
#include "src/common/text_conv.h"

namespace {

void Print(const std::string& label, const std::u16string& text) {
  std::string bytes = label + "=" + WideToUtf8(text) + "\n";
  fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2)
    return 2;
  std::string command = argv[1];
  CNuvChromeProcessGlobal* global = GetChromeProcessGlobal();
  if (command == "global") {
    Print("product", global->GetProductName());
    Print("inner", global->GetInnerProductName());
    Print("lang", Utf8ToWide(std::to_string(GetUiLanguage())));
    Print("temp", global->GetTempPath());
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
  return 2;
}
