// The render side for the host window tests: a helper window that files
// every reply, and raw bridge packets sent to the host window whose handle
// is the first argument. Commands come on standard input (see
// render_peer_protocol.h); the peer ends when standard input closes.

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/message_window.h"
#include "tests/host_window/render_peer_protocol.h"

namespace {

using nuv::platform::CopyData;
using nuv::platform::WindowHandle;

struct Reply {
  uint64_t dw_data;
  uint32_t wparam;
  std::vector<uint8_t> bytes;
};

class HelperWindow : public nuv::platform::MessageWindowDelegate {
 public:
  std::vector<Reply> replies;

  bool ProcessWindowMessage(WindowHandle,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != nuv::platform::kWmCopyData)
      return message == nuv::platform::kWmDestroy;
    const auto& data = *reinterpret_cast<const CopyData*>(lparam);
    const auto* bytes = static_cast<const uint8_t*>(data.lpData);
    replies.push_back(Reply{data.dwData, static_cast<uint32_t>(wparam),
                            std::vector<uint8_t>(bytes, bytes + data.cbData)});
    *result = 0;
    return true;
  }
};

bool ReadAll(void* buffer, size_t size) {
  return nuv::peer::ReadAll(0, buffer, size);
}

using nuv::peer::Put;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return 2;
  auto host = static_cast<WindowHandle>(strtoul(argv[1], nullptr, 10));
  HelperWindow helper;
  WindowHandle own = nuv::platform::CreateMessageWindow(&helper);
  if (!own)
    return 3;
  for (;;) {
    uint32_t wparam = 0;
    uint64_t dw_data = 0;
    uint32_t size = 0;
    if (!ReadAll(&wparam, 4) || !ReadAll(&dw_data, 8) || !ReadAll(&size, 4))
      return 0;
    std::vector<uint8_t> packet(size);
    if (!ReadAll(packet.data(), size))
      return 0;
    helper.replies.clear();
    CopyData data{static_cast<uintptr_t>(dw_data), size, size ? packet.data() : nullptr};
    intptr_t result = 0;
    uint32_t sent = nuv::platform::SendCopyData(
        host, wparam == nuv::peer::kOwnWindow ? own : wparam, data, &result);
    int64_t result64 = result;
    auto count = static_cast<uint32_t>(helper.replies.size());
    std::string answer;
    Put(&answer, &sent, 4);
    Put(&answer, &result64, 8);
    Put(&answer, &count, 4);
    for (const Reply& reply : helper.replies) {
      auto length = static_cast<uint32_t>(reply.bytes.size());
      Put(&answer, &reply.dw_data, 8);
      Put(&answer, &reply.wparam, 4);
      Put(&answer, &length, 4);
      Put(&answer, reply.bytes.data(), length);
    }
    if (write(1, answer.data(), answer.size()) != static_cast<ssize_t>(answer.size()))
      return 4;
  }
}
