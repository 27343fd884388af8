// Reply packets of any size and content, delivered to a helper window the
// way the transport delivers them: the first byte picks dwData (mostly 0, a
// reply), the rest is the packet, copied into a buffer of exactly cbData
// bytes so that any read beyond it is caught. Also checks that the direct
// record writer escapes the same bytes exactly as jsoncpp's compact writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "src/bridge/bridge_packet.h"
#include "src/bridge/helper_window.h"
#include "src/values/json_text.h"
#include "src/values/record_text_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CNuvHelperWindowRef window = GetHelperWindow(1);
  if (size == 0)
    return 0;
  const uintptr_t kind = data[0] < 200 ? BRIDGE_REPLY : data[0] - 200;
  const size_t length = size - 1;
  std::unique_ptr<uint8_t[]> packet(new uint8_t[length ? length : 1]);
  if (length)
    std::memcpy(packet.get(), data + 1, length);

  nuv::platform::CopyData copyData;
  copyData.dwData = kind;
  copyData.cbData = static_cast<uint32_t>(length);
  copyData.lpData = data[0] % 7 == 3 ? nullptr : packet.get();
  intptr_t result = -1;
  if (!window->ProcessWindowMessage(window->GetWindowHandle(), nuv::platform::kWmCopyData, 0,
                                    reinterpret_cast<intptr_t>(&copyData), &result) ||
      result != 0)
    std::abort();

  NuvBridgeReply reply;
  if (ReadReplyPacket(packet.get(), length, &reply)) {
    if (length < kBridgeHeaderSize || reply.text.size() > length - kBridgeHeaderSize)
      std::abort();
    std::string taken;
    // A reply is filed under its key, unless it was not a reply at all.
    if (window->TakeStoredReply(reply.browserId, reply.requestId, &taken) !=
        (kind == BRIDGE_REPLY && copyData.lpData != nullptr))
      std::abort();
    if (kind == BRIDGE_REPLY && copyData.lpData && taken != reply.text)
      std::abort();
  } else if (length >= kBridgeHeaderSize) {
    std::abort();
  }

  const std::string bytes(reinterpret_cast<const char*>(data + 1), length);
  std::string direct;
  AppendJsonString(bytes, &direct);
  if (direct + "\n" != WriteJsonText(Json::Value(bytes)))
    std::abort();
  return 0;
}
