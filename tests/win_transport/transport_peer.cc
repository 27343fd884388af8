// The peer process of the transport test: a client's host window in a
// process of its own. It answers every bridge request with a nested reply to
// the requesting window before its handler returns, as the client must.
#include <chrono>
#include <string>
#include <vector>

#include "platform/message_window.h"
#include "src/app/host_window_switch.h"
#include "tests/win_transport/transport_protocol.h"

namespace nuv {
namespace testing {

namespace {

using platform::CopyData;
using platform::WindowHandle;

class HostWindow : public platform::MessageWindowDelegate {
 public:
  bool quit() const { return quit_; }
  bool quit_soon() const { return quit_soon_; }

  bool ProcessWindowMessage(WindowHandle window,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message == platform::kWmDestroy) {
      *result = 0;
      return true;
    }
    if (message != platform::kWmCopyData)
      return false;
    *result = 0;
    if (lparam == 0)
      return true;
    const CopyData& data = *reinterpret_cast<const CopyData*>(lparam);
    WindowHandle requester = static_cast<WindowHandle>(wparam);
    if (data.dwData == kKindPong) {
      ++pongs_;
      *result = 1;
      return true;
    }
    BridgePacket request;
    if (!DecodeRequest(data, &request)) {
      *result = kPeerMalformed;
      return true;
    }
    *result = Answer(window, requester, data, request);
    return true;
  }

 private:
  intptr_t Answer(WindowHandle self,
                  WindowHandle requester,
                  const CopyData& data,
                  BridgePacket request) {
    const uintptr_t kind = data.dwData;
    if (kind == kKindWideResult)
      return static_cast<intptr_t>(kWideResult);
    BridgePacket reply = request;
    if (kind >= kKindFirstRequest && kind <= kKindLastRequest) {
      reply.text = "echo:" + std::to_string(kind) + ":" + request.text;
    } else if (kind == kKindPingPong) {
      pongs_ = 0;
      std::vector<uint8_t> ping = EncodeRequest(request);
      intptr_t ping_result = 0;
      bool sent =
          platform::SendCopyData(requester, self, MakeCopyData(kKindPing, ping), &ping_result);
      reply.text = "ping:" + std::to_string(sent) + ":" + std::to_string(ping_result) +
                   ",pongs:" + std::to_string(pongs_);
    } else if (kind == kKindSendToObject) {
      std::vector<uint8_t> probe = EncodeRequest(request);
      bool sent = platform::SendCopyData(static_cast<WindowHandle>(request.object_id), self,
                                         MakeCopyData(kKindProbe, probe), nullptr);
      reply.text = sent ? "accepted" : "refused";
    } else if (kind == kKindMirror) {
      CopyData mirrored = data;
      mirrored.dwData = kKindMirrored;
      bool sent = platform::SendCopyData(requester, self, mirrored, nullptr);
      reply.text = sent ? "mirrored:" + std::to_string(data.cbData) + ":" +
                              PacketDigest(data.lpData, data.cbData)
                        : "not mirrored";
    } else if (kind == kKindQuit) {
      quit_ = true;
      reply.text = "bye";
    } else if (kind == kKindQuitSoon) {
      quit_soon_ = true;
      reply.text = "bye soon";
    } else {
      return kPeerMalformed;
    }
    std::vector<uint8_t> bytes = EncodeReply(reply);
    bool replied = platform::SendCopyData(requester, 0, MakeCopyData(kKindReply, bytes), nullptr);
    return replied ? kPeerReplied : kPeerReplyRefused;
  }

  int pongs_ = 0;
  bool quit_ = false;
  bool quit_soon_ = false;
};

}  // namespace

int RunTransportPeer(const char* anchor_handle_text) {
  // The switch text is ASCII; read it the way the sub-process reads the
  // client's handle switch, whatever this process's bitness.
  const std::string text(anchor_handle_text);
  const WindowHandle anchor = ParseHostWindowHandle(std::u16string(text.begin(), text.end()));
  if (anchor == 0)
    return 2;
  HostWindow host;
  WindowHandle window = platform::CreateMessageWindow(&host);
  if (window == 0)
    return 3;
  const uint32_t pointer_bits = sizeof(void*) * 8;
  std::vector<uint8_t> hello(8);
  for (int i = 0; i < 4; ++i) {
    hello[i] = static_cast<uint8_t>(window >> (8 * i));
    hello[4 + i] = static_cast<uint8_t>(pointer_bits >> (8 * i));
  }
  if (!platform::SendCopyData(anchor, window, MakeCopyData(kKindHello, hello), nullptr))
    return 4;
  // Serve until told to stop; give up when the test process is gone or after
  // a minute, so that no peer outlives its test.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  std::chrono::steady_clock::time_point quit_at{};
  while (!host.quit()) {
    platform::WaitAndDispatch(-1, 20);
    if (host.quit_soon()) {
      if (quit_at == std::chrono::steady_clock::time_point{})
        quit_at = std::chrono::steady_clock::now() + std::chrono::seconds(1);
      if (std::chrono::steady_clock::now() >= quit_at)
        break;
    }
    if (!platform::IsMessageWindow(anchor) || std::chrono::steady_clock::now() > deadline) {
      platform::DestroyMessageWindow(window);
      return 5;
    }
  }
  return platform::DestroyMessageWindow(window) ? 0 : 6;
}

}  // namespace testing
}  // namespace nuv
