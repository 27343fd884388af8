#include "tests/bridge/host_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>

#include "host/window/host_window.h"
#include "host/window/value_records.h"
#include "platform/message_window.h"

namespace nuv_test {
namespace {

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written <= 0)
      return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

// Reads one line; while none is complete, dispatches this thread's windows.
bool ReadLine(int fd, std::string* pending, std::string* line) {
  for (;;) {
    const size_t end = pending->find('\n');
    if (end != std::string::npos) {
      *line = pending->substr(0, end);
      pending->erase(0, end + 1);
      return true;
    }
    if (nuv::platform::WaitAndDispatch(fd, 30000) != nuv::platform::WaitResult::kFdReadable)
      return false;
    char buffer[65536];
    const ssize_t got = read(fd, buffer, sizeof(buffer));
    if (got <= 0)
      return false;
    pending->append(buffer, static_cast<size_t>(got));
  }
}

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// Answers every copy-data message with one reply carrying the same bytes.
class EchoWindow : public nuv::platform::MessageWindowDelegate {
 public:
  bool ProcessWindowMessage(nuv::platform::WindowHandle,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != nuv::platform::kWmCopyData || !lparam)
      return false;
    const auto* data = reinterpret_cast<const nuv::platform::CopyData*>(lparam);
    nuv::platform::CopyData reply = *data;
    reply.dwData = 0;
    nuv::platform::SendCopyData(static_cast<nuv::platform::WindowHandle>(wparam), 0, reply,
                                nullptr);
    *result = 0;
    return true;
  }
};

Json::Value Record(const char* type, const Json::Value& value) {
  Json::Value record(Json::objectValue);
  record["valueType"] = type;
  record["value"] = value;
  return record;
}

void Configure(nuv::host::HostWindow* host) {
  nuv::host::HostObject doc;
  doc.id = 7;
  doc.properties["title"] = Record("NuvValueString", "Report");
  doc.properties["size"] = Record("NuvValueInt", 3);
  doc.methods["echo"].mode = nuv::host::MethodSpec::Mode::kEchoAll;
  doc.methods["open"].mode = nuv::host::MethodSpec::Mode::kEchoFirst;
  doc.methods["close"].result = Json::Value(Json::objectValue);
  doc.methods["close"].result["valueType"] = "NuvValueNull";
  doc.methods["make"].mode = nuv::host::MethodSpec::Mode::kReturnNewObject;
  doc.methods["make"].template_id = 8;
  nuv::host::HostObject copy;
  copy.id = 8;
  copy.properties["name"] = Record("NuvValueString", "copy");
  host->objects().AddObject(copy);
  host->objects().AddObject(doc);
  Json::Value reference(Json::objectValue);
  reference["object"] = 7;
  host->objects().SetNamedObjects(nuv::host::kAnyBrowser, {{"doc", reference}});
  host->objects().SetOtherBrowserCallResult(Record("NuvValueInt", 42));
  host->SetLogHandler([](const std::string&) {});
}

Json::Value LogAsJson(nuv::host::HostWindow* host) {
  Json::Value entries(Json::arrayValue);
  for (const nuv::host::LoggedRequest& request : host->requests().Entries()) {
    Json::Value entry(Json::objectValue);
    entry["kind"] = static_cast<Json::UInt>(request.kind);
    entry["helper"] = request.helper_window;
    entry["browser"] = request.browser_id;
    entry["request"] = request.request_id;
    entry["object"] = request.object_id;
    entry["text"] = request.text;
    entry["raw"] = Hex(std::string(request.raw.begin(), request.raw.end()));
    entry["replied"] = request.replied;
    entry["reply"] = request.reply_text;
    entries.append(entry);
  }
  return entries;
}

[[noreturn]] void ChildMain(int commandFd, int answerFd) {
  auto host = std::make_unique<nuv::host::HostWindow>();
  Configure(host.get());
  // The echo window gets a thread of its own, as the host window has.
  EchoWindow echo;
  std::atomic<nuv::platform::WindowHandle> echoHandle{0};
  int stop[2];
  if (pipe(stop) != 0)
    _exit(3);
  std::thread echoThread([&echo, &echoHandle, &stop] {
    const nuv::platform::WindowHandle window = nuv::platform::CreateMessageWindow(&echo);
    echoHandle = window;
    if (window)
      nuv::platform::WaitAndDispatch(stop[0], -1);
    echoHandle = 0;
    nuv::platform::DestroyMessageWindow(window);
  });
  while (echoThread.joinable() && echoHandle == 0)
    usleep(1000);
  if (!host->Start() || !echoHandle)
    _exit(3);
  WriteAll(answerFd, std::to_string(host->handle()) + " " + std::to_string(echoHandle) + "\n");
  std::string pending;
  std::string line;
  while (ReadLine(commandFd, &pending, &line)) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    std::string answer = "null";
    if (verb == "quit") {
      break;
    } else if (verb == "log") {
      answer = nuv::host::WriteJson(LogAsJson(host.get()));
      answer.pop_back();
    } else if (verb == "clear") {
      host->requests().Clear();
    } else if (verb == "releases") {
      int32_t id = 0;
      words >> id;
      answer = std::to_string(host->objects().ReleaseCount(id));
    } else if (verb == "send") {
      uint32_t window = 0;
      int32_t browser = 0;
      int32_t request = 0;
      std::string hex;
      words >> window >> browser >> request >> hex;
      const std::string text = Unhex(hex);
      std::string packet(12, '\0');
      std::memcpy(&packet[0], &browser, 4);
      std::memcpy(&packet[4], &request, 4);
      packet += text;
      packet.push_back('\0');
      nuv::platform::CopyData data;
      data.dwData = 0;
      data.cbData = static_cast<uint32_t>(packet.size());
      data.lpData = packet.data();
      answer = nuv::platform::SendCopyData(window, 0, data, nullptr) ? "true" : "false";
    }
    if (!WriteAll(answerFd, answer + "\n"))
      break;
  }
  WriteAll(stop[1], "x");
  echoThread.join();
  host->Stop();
  _exit(0);
}

}  // namespace

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 0xF]);
  }
  return hex;
}

bool HostProcess::Start() {
  int commands[2];
  int answers[2];
  if (pipe(commands) != 0 || pipe(answers) != 0)
    return false;
  std::fflush(nullptr);
  child_ = fork();
  if (child_ < 0)
    return false;
  if (child_ == 0) {
    close(commands[1]);
    close(answers[0]);
    ChildMain(commands[0], answers[1]);
  }
  close(commands[0]);
  close(answers[1]);
  command_fd_ = commands[1];
  answer_fd_ = answers[0];
  std::string pending;
  std::string line;
  if (!ReadLine(answer_fd_, &pending, &line))
    return false;
  std::istringstream words(line);
  words >> host_window_ >> echo_window_;
  return host_window_ != 0 && echo_window_ != 0;
}

void HostProcess::Stop() {
  if (child_ <= 0)
    return;
  WriteAll(command_fd_, "quit\n");
  close(command_fd_);
  close(answer_fd_);
  int status = 0;
  waitpid(child_, &status, 0);
  child_ = -1;
}

std::string HostProcess::Ask(const std::string& command) {
  if (!WriteAll(command_fd_, command + "\n"))
    return std::string();
  std::string pending;
  std::string line;
  return ReadLine(answer_fd_, &pending, &line) ? line : std::string();
}

Json::Value HostProcess::Log() {
  Json::Value log;
  nuv::host::ParseJson(Ask("log"), &log);
  return log;
}

void HostProcess::ClearLog() {
  Ask("clear");
}

int HostProcess::Releases(int32_t objectId) {
  return std::atoi(Ask("releases " + std::to_string(objectId)).c_str());
}

bool HostProcess::SendReply(uint32_t window,
                            int32_t browserId,
                            int32_t requestId,
                            const std::string& text) {
  return Ask("send " + std::to_string(window) + " " + std::to_string(browserId) + " " +
             std::to_string(requestId) + " " + Hex(text) + "x") == "true";
}

}  // namespace nuv_test
