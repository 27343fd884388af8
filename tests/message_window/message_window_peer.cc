// A second process for the message window tests: creates one window, prints
// its handle on standard output and serves it until standard input closes.
// What it does with each copy-data is described in peer_protocol.h.

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/message_window.h"
#include "tests/message_window/peer_protocol.h"

namespace {

using nuv::platform::CopyData;
using nuv::platform::WindowHandle;

class PeerWindow : public nuv::platform::MessageWindowDelegate {
 public:
  WindowHandle handle = 0;

  bool ProcessWindowMessage(WindowHandle window,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != nuv::platform::kWmCopyData)
      return message == nuv::platform::kWmDestroy;
    const auto& data = *reinterpret_cast<const CopyData*>(lparam);
    switch (data.dwData) {
      case nuv::peer::kHash:
        *result = static_cast<intptr_t>(nuv::peer::Fnv1a(data.lpData, data.cbData));
        return true;
      case nuv::peer::kReplyBack: {
        CopyData back = data;
        back.dwData = nuv::peer::kReturned;
        intptr_t nested = -1;
        bool sent = SendCopyData(static_cast<WindowHandle>(wparam), window, back, &nested);
        *result = sent ? 1000 + nested : -1;
        return true;
      }
      case nuv::peer::kNest: {
        uint32_t depth = 0;
        if (data.cbData == sizeof(depth))
          memcpy(&depth, data.lpData, sizeof(depth));
        if (depth == 0) {
          *result = 1;
          return true;
        }
        --depth;
        CopyData next{nuv::peer::kNest, sizeof(depth), &depth};
        intptr_t nested = 0;
        bool sent = SendCopyData(static_cast<WindowHandle>(wparam), window, next, &nested);
        *result = sent ? nested + 1 : -1000;
        return true;
      }
      case nuv::peer::kDie:
        _exit(7);
      case nuv::peer::kDestroySelf:
        nuv::platform::DestroyMessageWindow(window);
        *result = 55;
        return true;
      default:
        return false;
    }
  }
};

}  // namespace

int main() {
  PeerWindow peer;
  peer.handle = nuv::platform::CreateMessageWindow(&peer);
  if (!peer.handle)
    return 2;
  printf("%u\n", peer.handle);
  fflush(stdout);
  // Standard input closing (the test ending or dying) ends the peer.
  for (;;) {
    auto waited = nuv::platform::WaitAndDispatch(0, -1);
    if (waited != nuv::platform::WaitResult::kTimeout)
      break;
  }
  return 0;
}
