// Seeds of the runtime's fuzz targets: IPC frames of every kind, written by
// the frame codec itself, as one file each and as whole streams of a short
// session; and the texts the runtime parses from outside (command lines,
// UTF-8, times).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

#include "cef/ipc/frame.h"
#include "cef/ipc/frame_codec.h"
#include "tests/fuzz_seeds/seed_list.h"

namespace nuv_seeds {
namespace {

using cefipc::Frame;
using cefipc::WireValue;

struct NamedFrame {
  const char* name;
  Frame frame;
};

// What the client sends in the demo scenario, in order.
std::vector<NamedFrame> ClientSession() {
  const std::u16string record = u"{\"valueType\":\"NuvValueString\",\"value\":\"Now\"}";
  return {
      {"browser-created", cefipc::MakeBrowserCreated(1)},
      {"context-created",
       cefipc::MakeContextCreated(1, 1, true, u"",
                                  u"function describe(prefix, n) { return prefix + ': ' + n; }")},
      {"execute-script", cefipc::MakeProcessMessage(
                             1, u"NuvChromeBrowser_ExecuteScript",
                             {WireValue::Int(1), WireValue::String(u"1+1"),
                              WireValue::String(u"read-write.js"), WireValue::String(u"rw-1")})},
      {"execute-function",
       cefipc::MakeProcessMessage(
           1, u"NuvChromeBrowser_ExecuteFunction",
           {WireValue::Int(0), WireValue::String(u"describe"), WireValue::String(u"fn-1"),
            WireValue::String(u"[" + record + u"]")})},
      {"exec-command",
       cefipc::MakeProcessMessage(
           1, u"NuvChromeBrowser_DocumentExecCommand",
           {WireValue::Int(0), WireValue::Null(), WireValue::Null(),
            WireValue::String(u"[{\"valueType\":\"NuvValueString\",\"value\":\"bold\"}]")})},
      {"call-back", cefipc::MakeProcessMessage(
                        1, u"NuvChromeBrowser_CallDefaultFunction",
                        {WireValue::Int(1), WireValue::Int(0),
                         WireValue::String(u"{\"objectId\":1,\"arguments\":[" + record + u"]}")})},
      {"run-script", cefipc::MakeRunScript(1, 1, u"null.property")},
      {"collect-garbage", cefipc::MakeCollectGarbage()},
      {"context-released", cefipc::MakeContextReleased(1, 1)},
      {"browser-destroyed", cefipc::MakeBrowserDestroyed(1)},
      {"end", cefipc::MakeEnd()},
  };
}

// What the render process answers.
std::vector<NamedFrame> RenderSession() {
  return {
      {"hello", cefipc::MakeHello(4242)},
      {"ack", cefipc::MakeAck(1, cefipc::AckStatus::kDone, u"")},
      {"ack-refused", cefipc::MakeAck(7, cefipc::AckStatus::kRefused, u"unknown browser 4")},
      {"context-created-message",
       cefipc::MakeMessageToBrowser(1, u"NuvChromeBrowser_ContextCreated", {})},
      {"script-result",
       cefipc::MakeMessageToBrowser(
           1, u"NuvChromeBrowser_ExecuteScript_Result",
           {WireValue::Int(1), WireValue::Bool(true), WireValue::String(u"rw-1"),
            WireValue::String(u"{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}\n")})},
      {"uncaught-exception",
       cefipc::MakeMessageToBrowser(
           1, u"NuvChromeBrowser_UncaughtException",
           {WireValue::Int(1), WireValue::String(u"caught.js"),
            WireValue::String(u"undefinedFunction()"),
            WireValue::String(u"Uncaught ReferenceError: undefinedFunction is not defined"),
            WireValue::Int(1)})},
      {"document-command", cefipc::MakeDocumentCommand(1, 1, u"bold", false, u"", true)},
      {"list-arguments", cefipc::MakeMessageToBrowser(
                             1, u"NuvChromeBrowser_Nested",
                             {WireValue::List({WireValue::Double(2.5),
                                               WireValue::List({WireValue::String(u"\u00e9")})})})},
      {"error", cefipc::MakeError(u"frame of unknown kind 0x42")},
  };
}

std::string Encoded(Frame frame, uint32_t sequence) {
  frame.sequence = sequence;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!cefipc::EncodeFrame(frame, &bytes, &error)) {
    std::cerr << "cannot encode a seed frame: " << error << "\n";
    std::exit(1);
  }
  return std::string(bytes.begin(), bytes.end());
}

void AddFrameSeeds(std::vector<Seed>* seeds) {
  const std::string target = "cef_ipc_frame_fuzzer";
  const std::pair<const char*, std::vector<NamedFrame>> sessions[] = {
      {"client-stream", ClientSession()}, {"render-stream", RenderSession()}};
  for (const auto& session : sessions) {
    std::string stream;
    uint32_t sequence = 1;
    for (const NamedFrame& named : session.second) {
      seeds->push_back({target, named.name, Encoded(named.frame, 1)});
      stream += Encoded(named.frame, sequence++);
    }
    seeds->push_back({target, session.first, stream});
  }
}

// The eight int fields of a cef_time_t (year, month, day of week, day,
// hour, minute, second, millisecond) as the fuzz target reads them from the
// start of its input, followed by a text.
std::string TimeFields(const int32_t (&fields)[8], const std::string& text) {
  std::string bytes;
  for (int32_t field : fields)
    bytes += Le32(static_cast<uint32_t>(field));
  return bytes + text;
}

void AddCefTextSeeds(std::vector<Seed>* seeds) {
  const std::string target = "cef_text_fuzzer";
  seeds->push_back({target, "renderer-command-line",
                    "nuv_subprocess --type=renderer --cef-ipc-fd=3 "
                    "--browser-message-window-handle=4242 --nuv-log-file=\"/tmp/nuv log.txt\" "
                    "--nuv-temp-path=/tmp/nuv"});
  // The same command line as an argv, its arguments separated by zero bytes.
  const char kArgv[] =
      "nuv_subprocess\0--type=renderer\0--cef-ipc-fd=3\0"
      "--browser-message-window-handle=4242\0--nuv-log-file=/tmp/n\xC3\xBCv.log";
  seeds->push_back({target, "renderer-argv", std::string(kArgv, sizeof(kArgv) - 1)});
  seeds->push_back({target, "windows-command-line",
                    "\"C:\\Program Files\\Nuv Client\\nuv_subprocess.exe\" --type=renderer "
                    "/Debug -- \"quoted \\\"arg\\\"\" caf\xC3\xA9 \xF0\x9F\x98\x80"});
  const int32_t release[8] = {2017, 3, 3, 15, 14, 3, 9, 500};
  seeds->push_back({target, "time-fields", TimeFields(release, " --type=renderer")});
  double instant = 1489586589.5;  // the same instant as a double
  std::string bytes(sizeof(instant), '\0');
  std::memcpy(&bytes[0], &instant, sizeof(instant));
  seeds->push_back({target, "time-double", bytes});
}

}  // namespace

void AddRuntimeSeeds(std::vector<Seed>* seeds) {
  AddFrameSeeds(seeds);
  AddCefTextSeeds(seeds);
}

}  // namespace nuv_seeds
