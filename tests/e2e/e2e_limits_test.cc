// Values at and past the size the channels carry, through the real
// nuv_subprocess: a command's result too large for a process message is
// answered (browser, false, tag, "") and logged with its size; a host call
// whose arguments pass the bridge's limit is not sent, reads undefined and is
// logged; the encoder gives up at the limit, so a sparse array of length
// 2^31 - 1 costs neither time nor memory; and everything works as before
// afterwards.
#include <sys/resource.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>

#include "host/browser/render_process.h"
#include "host/window/bridge_packet.h"
#include "host/window/host_window.h"
#include "tests/e2e/e2e_support.h"

namespace nuv {
namespace e2e {
namespace {

using cefipc::WireList;
using cefipc::WireValue;

// Values of 32 and 64 MiB cross the channel here: a few seconds each in a
// plain build, several times that under the sanitizers on a busy machine.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kTimeoutMs = 90000;
#else
constexpr int kTimeoutMs = 20000;
#endif

// The text limits the sub-process documents (docs/values-and-bridge.md):
// a result message carries 32 MiB - 1 KiB UTF-16 units of text in all
// (name, tag and result), a bridge request text 64 MiB - 16 bytes.
constexpr size_t kResultMessageUnits = 32u * 1024u * 1024u - 1024u;
constexpr size_t kBridgeTextBytes = 64u * 1024u * 1024u - 16u;
constexpr size_t kScriptResultNameUnits = 37;  // NuvChromeBrowser_ExecuteScript_Result
// {"browserId":1,"value":"  ...  ","valueType":"NuvValueString"}\n
constexpr size_t kStringRecordOverhead = 24 + 31 + 1;

constexpr char kHostConfig[] = R"({
  "objects": {
    "7": { "properties": { "title": "Report" },
           "methods": { "ping": { "returns": "pong" }, "first": { "echo": "first" } } }
  },
  "named": { "*": [ { "name": "doc", "object": 7 } ] },
  "otherBrowserCallResult": "answered"
})";

WireValue I(int32_t value) {
  return WireValue::Int(value);
}
WireValue S(const std::u16string& value) {
  return WireValue::String(value);
}

// A figure of /proc/<pid>/status in KiB ("VmHWM", "VmSize"), 0 when unknown.
size_t StatusKiB(int pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0)
      return static_cast<size_t>(std::stoul(line.substr(field.size() + 1)));
  }
  return 0;
}

// Lowers the address-space limit of a running process to `bytes` for the
// life of the object (the hard limit stays, so the old limit comes back).
class AddressSpaceLimit {
 public:
  AddressSpaceLimit(int pid, rlim_t bytes) : m_pid(pid) {
    rlimit lowered{};
    m_set = prlimit(pid, RLIMIT_AS, nullptr, &m_old) == 0;
    lowered.rlim_cur = bytes;
    lowered.rlim_max = m_old.rlim_max;
    m_set = m_set && prlimit(pid, RLIMIT_AS, &lowered, nullptr) == 0;
  }
  ~AddressSpaceLimit() {
    if (m_set)
      prlimit(m_pid, RLIMIT_AS, &m_old, nullptr);
  }
  bool set() const { return m_set; }

 private:
  int m_pid;
  rlimit m_old{};
  bool m_set = false;
};

bool AnyLineHas(const std::vector<std::string>& lines, const std::vector<std::string>& parts) {
  for (const std::string& line : lines) {
    bool all = true;
    for (const std::string& part : parts)
      all = all && line.find(part) != std::string::npos;
    if (all)
      return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::ostringstream out;
  for (const std::string& line : lines)
    out << line << "\n";
  return out.str();
}

class LimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(window_.Configure(kHostConfig, &error)) << error;
    ASSERT_TRUE(window_.Start());
    log_ = dir_.File("limits.log");
  }

  void TearDown() override {
    if (process_) {
      const host::ExitStatus status = process_->End(kTimeoutMs);
      EXPECT_TRUE(status.exited() && status.exit_code == 0) << status.ToString();
    }
  }

  // A renderer talking to the host window, with browser `browser` and its
  // main frame running `page`.
  void Start(const std::u16string& page, int32_t browser = 1) {
    process_ = StartRenderer({"--nuv-log-file=" + log_, "--browser-message-window-handle=" +
                                                            std::to_string(window_.handle())});
    ASSERT_TRUE(process_);
    ASSERT_TRUE(process_->WaitForHello(kTimeoutMs));
    AddBrowser(browser, page);
  }

  void AddBrowser(int32_t browser, const std::u16string& page) {
    ASSERT_TRUE(Ack(process_->CreateBrowser(browser)).done());
    ASSERT_TRUE(Ack(process_->CreateContext(browser, browser, true, u"", page)).done());
    host::ProcessMessage created;
    ASSERT_TRUE(
        process_->WaitForMessageNamed(u"NuvChromeBrowser_ContextCreated", kTimeoutMs, &created));
  }

  host::CommandResult Ack(uint32_t sequence) { return process_->WaitForAck(sequence, kTimeoutMs); }

  WireList Call(const std::u16string& name,
                const WireList& args,
                const std::u16string& reply,
                int32_t browser = 1) {
    EXPECT_TRUE(Ack(process_->SendProcessMessage(browser, name, args)).done());
    host::ProcessMessage message;
    if (!process_->WaitForMessageNamed(reply, kTimeoutMs, &message))
      return {};
    return message.args;
  }

  WireList Script(const std::u16string& script,
                  const std::u16string& tag = u"t",
                  int32_t browser = 1) {
    return Call(u"NuvChromeBrowser_ExecuteScript", {I(browser), S(script), S(u"big.js"), S(tag)},
                u"NuvChromeBrowser_ExecuteScript_Result", browser);
  }

  WireList Function(const std::u16string& function,
                    const std::u16string& arguments,
                    int32_t browser = 1) {
    return Call(u"NuvChromeBrowser_ExecuteFunction", {I(0), S(function), S(u"f"), S(arguments)},
                u"NuvChromeBrowser_ExecuteFunction_Result", browser);
  }

  static Json::Value Record(const WireList& args) {
    Json::Value value;
    if (args.size() == 4)
      Json::Reader().parse(Utf8(args[3].GetString()), value);
    return value;
  }

  // The page's text value of `expression`, read through a script result.
  std::string PageText(const std::u16string& expression) {
    return Record(Script(expression, u"read"))["value"].asString();
  }

  size_t CountRequests(uintptr_t kind) {
    size_t n = 0;
    for (const host::LoggedRequest& entry : window_.requests().Entries())
      n += entry.kind == kind ? 1 : 0;
    return n;
  }

  // The log as written so far (the file is appended line by line).
  std::vector<std::string> Log() { return LogMessages(log_); }

  ScratchDir dir_;
  std::string log_;
  host::HostWindow window_;
  std::unique_ptr<host::RenderProcess> process_;
};

TEST_F(LimitsTest, TheLongestResultTravelsAndOneCharacterMoreIsAnsweredFalse) {
  ASSERT_NO_FATAL_FAILURE(Start(u""));
  const size_t resultRoom = kResultMessageUnits - kScriptResultNameUnits - 1;  // tag "t"

  const size_t ascii = resultRoom - kStringRecordOverhead;
  WireList reply = Script(u"'x'.repeat(" + Utf16(std::to_string(ascii)) + u")");
  ASSERT_EQ(4u, reply.size());
  EXPECT_EQ(WireValue::Bool(true), reply[1]);
  EXPECT_EQ(ascii + kStringRecordOverhead, reply[3].GetString().size());
  reply = Script(u"'x'.repeat(" + Utf16(std::to_string(ascii + 1)) + u")");
  EXPECT_EQ((WireList{I(1), WireValue::Bool(false), S(u"t"), S(u"")}), reply);

  // Every other character is escaped as \uXXXX: a sixth as many travel.
  const size_t escaped = (resultRoom - kStringRecordOverhead) / 6;
  reply = Script(u"'\\u00e9'.repeat(" + Utf16(std::to_string(escaped + 1)) + u")");
  EXPECT_EQ((WireList{I(1), WireValue::Bool(false), S(u"t"), S(u"")}), reply);

  const std::vector<std::string> log = Log();
  EXPECT_TRUE(AnyLineHas(log, {"Can't send the result of script \"big.js\" (tag t)",
                               "passes the limit of " + std::to_string(resultRoom) + " bytes",
                               "a string of " + std::to_string(ascii + 1) + " characters"}))
      << Joined(log);
  EXPECT_TRUE(AnyLineHas(log, {"a string of " + std::to_string(escaped + 1) + " characters"}))
      << Joined(log);
  // A result that did not fit is not reported as a script that could not run.
  EXPECT_FALSE(AnyLineHas(log, {"Can't execute script"})) << Joined(log);
}

TEST_F(LimitsTest, ResultsTooLargeForAMessageAreAnsweredFalseWithTheirTagAndLogged) {
  ASSERT_NO_FATAL_FAILURE(Start(u"function big(n) { return 'y'.repeat(n); }"));
  // What used to vanish: a 32 MiB string (64 MiB as UTF-16) and a sparse
  // array of a million elements; a function's result the same.
  EXPECT_EQ((WireList{I(1), WireValue::Bool(false), S(u"t32"), S(u"")}),
            Script(u"'z'.repeat(32 * 1024 * 1024)", u"t32"));
  EXPECT_EQ((WireList{I(1), WireValue::Bool(false), S(u"sparse"), S(u"")}),
            Script(u"var a = []; a.length = 1e6; a", u"sparse"));
  EXPECT_EQ((WireList{I(1), WireValue::Bool(false), S(u"f"), S(u"")}),
            Function(u"big", u"[{\"valueType\":\"NuvValueInt\",\"value\":40000000}]"));

  // The process goes on as before.
  EXPECT_EQ(S(u"{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}\n"), Script(u"1+1")[3]);

  const std::vector<std::string> log = Log();
  EXPECT_TRUE(AnyLineHas(log, {"(tag t32)", "a string of 33554432 characters"})) << Joined(log);
  EXPECT_TRUE(AnyLineHas(log, {"(tag sparse)", "an array of 1000000 elements"})) << Joined(log);
  EXPECT_TRUE(AnyLineHas(log, {"Can't send the result of function \"big\" (tag f)",
                               "a string of 40000000 characters"}))
      << Joined(log);
}

TEST_F(LimitsTest, HostCallsPastTheBridgeLimitAreNotSentReadUndefinedAndAreLogged) {
  ASSERT_NO_FATAL_FAILURE(Start(u""));
  const size_t before = CountRequests(host::kBridgeCallMethod);

  // Sparse arrays: the encoder gives up within the limit (length 2^31 - 1
  // at once), without the page ever seeing an exception.
  EXPECT_EQ("undefined undefined",
            PageText(u"var s = []; s.length = 4e6; var r1 = typeof doc.first(s);"
                     u"var t = []; t.length = 2147483647; var r2 = typeof doc.first(t);"
                     u"r1 + ' ' + r2"));
  // A string argument and a property value past the limit.
  const std::u16string over = Utf16(std::to_string(kBridgeTextBytes));
  EXPECT_EQ("undefined", PageText(u"var big = 'x'.repeat(" + over + u"); typeof doc.first(big)"));
  EXPECT_EQ("Report", PageText(u"doc.title = big; doc.title"));
  EXPECT_EQ(before, CountRequests(host::kBridgeCallMethod));
  EXPECT_EQ(0u, CountRequests(host::kBridgeSetProperty));

  // The bridge works as before, also with a large value within the limit.
  EXPECT_EQ("pong", PageText(u"doc.ping()"));
  EXPECT_EQ("1000000", PageText(u"String(doc.first('w'.repeat(1e6)).length)"));

  // Bounded work means bounded memory: the page's own strings and one
  // request's texts, far from the gigabytes an unbounded walk takes.
  const size_t peakKiB = StatusKiB(process_->pid(), "VmHWM");
  EXPECT_GT(peakKiB, 0u);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(peakKiB, 1024u * 1024u) << "peak resident memory " << peakKiB << " KiB";
#endif

  const std::vector<std::string> log = Log();
  EXPECT_TRUE(AnyLineHas(
      log,
      {"Bridge request BRIDGE_CALL_METHOD of browser 1 for object 7", "\"first\" not sent",
       "passes the limit of " + std::to_string(kBridgeTextBytes), "an array of 4000000 elements"}))
      << Joined(log);
  EXPECT_TRUE(AnyLineHas(log, {"\"first\" not sent", "an array of 2147483647 elements"}))
      << Joined(log);
  EXPECT_TRUE(AnyLineHas(log, {"\"first\" not sent",
                               "a string of " + std::to_string(kBridgeTextBytes) + " characters"}))
      << Joined(log);
  EXPECT_TRUE(AnyLineHas(
      log, {"Bridge request BRIDGE_SET_PROPERTY of browser 1 for object 7", "\"title\" not sent"}))
      << Joined(log);
}

TEST_F(LimitsTest, CallsOfAnotherBrowsersFunctionHaveTheSameLimit) {
  ASSERT_NO_FATAL_FAILURE(
      Start(u"function offer() { return function(x) { globalThis.heard = x; }; }", 2));
  const Json::Value offered = Record(Function(u"offer", u"[]", 2));
  ASSERT_EQ("NuvValueV8Function", offered["valueType"].asString());
  ASSERT_NO_FATAL_FAILURE(AddBrowser(1, u"function keep(f) { globalThis.foreign = f; }"));
  Function(u"keep",
           u"[{\"valueType\":\"NuvValueV8FunctionOtherBrowser\",\"browserId\":2,\"objectId\":" +
               Utf16(std::to_string(offered["value"].asInt())) + u"}]");

  EXPECT_EQ("undefined", PageText(u"var s = []; s.length = 4e6; typeof foreign(s)"));
  EXPECT_EQ(0u, CountRequests(host::kBridgeCallOtherBrowserFunction));
  EXPECT_EQ("answered", PageText(u"foreign('small')"));
  EXPECT_EQ(1u, CountRequests(host::kBridgeCallOtherBrowserFunction));
  EXPECT_TRUE(AnyLineHas(Log(), {"Bridge request BRIDGE_CALL_OTHER_BROWSER_FUNCTION of browser 2",
                                 "an array of 4000000 elements"}))
      << Joined(Log());
}

TEST_F(LimitsTest, AllocationFailuresAreAnsweredAndReadAsUndefinedNeverThrownIntoThePage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's allocator reports a failed allocation instead of throwing";
#endif
  ASSERT_NO_FATAL_FAILURE(
      Start(u"var big = 'x'.repeat(16e6);"
            u"function tryFirst() {"
            u"  try { return typeof doc.first([big]); }"
            u"  catch (e) { return 'caught ' + e; } }"));
  ASSERT_EQ("string", PageText(u"typeof big"));
  // From here on the process gets a little more address space than it has
  // now: the page's string is made, but copying it (32 MB as UTF-16) fails.
  // (The string goes inside an array: the runtime copies string arguments
  // before the handler runs, as CEF does, where nothing can catch a failure.)
  {
    const size_t sizeKiB = StatusKiB(process_->pid(), "VmSize");
    ASSERT_GT(sizeKiB, 0u);
    AddressSpaceLimit limit(process_->pid(), (sizeKiB + 24 * 1024) * rlim_t{1024});
    ASSERT_TRUE(limit.set());
    EXPECT_EQ((WireList{I(1), WireValue::Bool(false), S(u"oom"), S(u"")}), Script(u"big", u"oom"));
    EXPECT_EQ("undefined", PageText(u"tryFirst()"));
    EXPECT_EQ(S(u"{\"browserId\":1,\"value\":2,\"valueType\":\"NuvValueInt\"}\n"),
              Script(u"1+1")[3]);
  }
  // With room again, the same calls go through.
  EXPECT_EQ("object", PageText(u"tryFirst()"));
  EXPECT_EQ(WireValue::Bool(true), Script(u"big", u"fits")[1]);

  const std::vector<std::string> log = Log();
  EXPECT_TRUE(
      AnyLineHas(log, {"Can't send the result of script \"big.js\" (tag oom)", "out of memory"}))
      << Joined(log);
  EXPECT_TRUE(AnyLineHas(log, {"Bridge request BRIDGE_CALL_METHOD of browser 1 for object 7",
                               "\"first\"", "out of memory"}))
      << Joined(log);
}

}  // namespace
}  // namespace e2e
}  // namespace nuv
