// Fuzzes what the runtime parses from outside: UTF-8 and wide text into
// CefString, command lines (both splitting rules) and time conversions.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "include/cef_command_line.h"
#include "include/internal/cef_types_wrappers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);

  // Decoding is total, and re-encoding the decoded text is lossless.
  CefString text(bytes);
  std::string utf8 = text.ToString();
  if (std::u16string(CefString(utf8)) != std::u16string(text))
    std::abort();
  if (std::u16string(CefString(text.ToWString())) != std::u16string(text))
    std::abort();

  CefRefPtr<CefCommandLine> from_string = CefCommandLine::CreateCommandLine();
  from_string->InitFromString(text);
  from_string->HasSwitch("type");
  from_string->GetSwitchValue("nuv-log-file");
  from_string->GetCommandLineString();
  CefCommandLine::SwitchMap switches;
  from_string->GetSwitches(switches);

  // The same bytes as an argv split at NULs.
  std::vector<std::string> parts(1);
  for (char c : bytes) {
    if (c == '\0')
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  std::vector<const char*> argv;
  for (const auto& p : parts)
    argv.push_back(p.c_str());
  CefRefPtr<CefCommandLine> from_argv = CefCommandLine::CreateCommandLine();
  from_argv->InitFromArgv(static_cast<int>(argv.size()), argv.data());
  CefRefPtr<CefCommandLine> copy = from_argv->Copy();
  copy->AppendSwitchWithValue(text, text);
  copy->PrependWrapper(text);

  // Any double or field set converts or fails, never misbehaves.
  if (size >= sizeof(double)) {
    double d;
    std::memcpy(&d, data, sizeof(d));
    cef_time_t t = {};
    double back = 0;
    if (cef_time_from_doublet(d, &t) && !cef_time_to_doublet(&t, &back))
      std::abort();
  }
  if (size >= sizeof(cef_time_t)) {
    cef_time_t fields;
    std::memcpy(&fields, data, sizeof(fields));
    time_t t = 0;
    cef_time_to_timet(&fields, &t);
    long long delta = 0;
    cef_time_delta(&fields, &fields, &delta);
  }
  return 0;
}
