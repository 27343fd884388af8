// Start-up order: command line, settings object with its two paths,
// application object, CEF's sub-process runner.
#include "src/app/entry.h"

#include <string>

#include "include/cef_app.h"
#include "include/cef_command_line.h"
#include "src/app/cef_app.h"
#include "src/app/entry_platform.h"
#include "src/app/process_global.h"
#include "src/values/cef_text.h"

namespace {

constexpr char16_t kLogFileSwitch[] = u"nuv-log-file";
constexpr char16_t kTempPathSwitch[] = u"nuv-temp-path";

int RunWithApartment(const CefMainArgs& args) {
  std::u16string logFile;
  std::u16string tempPath;
  {
    // Without a command-line object the switches read as missing: nothing is
    // logged, the default temp path applies, and CEF still decides the type.
    CefRefPtr<CefCommandLine> commandLine = CefCommandLine::CreateCommandLine();
    if (commandLine) {
      ReadProcessCommandLine(args, commandLine);
      logFile = CefToU16(commandLine->GetSwitchValue(U16ToCef(kLogFileSwitch)));
      tempPath = CefToU16(commandLine->GetSwitchValue(U16ToCef(kTempPathSwitch)));
    }
  }

  // The first call builds the settings object, which reads the configuration
  // and ends the process with -1 when the product name is missing.
  CNuvChromeProcessGlobal* global = GetChromeProcessGlobal();
  global->SetTempPathOverride(tempPath);
  global->SetLogFilePath(logFile);

  CefRefPtr<CNuvCefApp> app(new CNuvCefApp());
  const int result = CefExecuteProcess(args, app.get(), nullptr);
  app = nullptr;
  return result;
}

}  // namespace

int RunSubprocess(const CefMainArgs& args) {
  InitializeApartment();
  int result = -1;
  // Nothing thrown below may leave the process entry.
  try {
    result = RunWithApartment(args);
  } catch (...) {
    result = -1;
  }
  UninitializeApartment();
  return result;
}
