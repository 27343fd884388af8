// A host window for bridge tests that lives on the test's own thread: it
// records every request the bridge sends and answers with scripted replies,
// through real message windows (a send to a window of the same thread runs
// its handler at once, as on Windows).
#ifndef NUV_TESTS_BRIDGE_TEST_HOST_WINDOW_H_
#define NUV_TESTS_BRIDGE_TEST_HOST_WINDOW_H_

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_window.h"

namespace nuv_test {

struct RecordedRequest {
  uint32_t kind = 0;
  nuv::platform::WindowHandle replyTo = 0;
  std::vector<uint8_t> bytes;

  int32_t Field(size_t offset) const {
    int32_t value = 0;
    if (bytes.size() >= offset + 4)
      std::memcpy(&value, &bytes[offset], 4);
    return value;
  }
  int32_t BrowserId() const { return Field(0); }
  int32_t RequestId() const { return Field(4); }
  int32_t ObjectId() const { return Field(8); }
  // The text between the header and the terminator.
  std::string Text() const {
    if (bytes.size() < 16)
      return std::string();
    return std::string(reinterpret_cast<const char*>(&bytes[12]), bytes.size() - 16);
  }
};

// A reply packet as the client builds it.
inline std::vector<uint8_t> ReplyPacket(int32_t browserId,
                                        int32_t requestId,
                                        const std::string& text,
                                        bool terminate = true) {
  std::vector<uint8_t> packet(12, 0);
  std::memcpy(&packet[0], &browserId, 4);
  std::memcpy(&packet[4], &requestId, 4);
  packet.insert(packet.end(), text.begin(), text.end());
  if (terminate)
    packet.push_back(0);
  return packet;
}

inline bool SendPacket(nuv::platform::WindowHandle to,
                       uint32_t kind,
                       const std::vector<uint8_t>& packet,
                       intptr_t* result = nullptr) {
  nuv::platform::CopyData data;
  data.dwData = kind;
  data.cbData = static_cast<uint32_t>(packet.size());
  data.lpData = packet.empty() ? nullptr : packet.data();
  return nuv::platform::SendCopyData(to, 0, data, result);
}

class TestHostWindow : public nuv::platform::MessageWindowDelegate {
 public:
  // Answers one request; by default replies `reply_text` to it.
  using Answer = std::function<void(TestHostWindow& host, const RecordedRequest& request)>;

  TestHostWindow() { handle_ = nuv::platform::CreateMessageWindow(this); }
  ~TestHostWindow() override {
    if (handle_)
      nuv::platform::DestroyMessageWindow(handle_);
  }

  nuv::platform::WindowHandle handle() const { return handle_; }
  std::vector<RecordedRequest>& requests() { return requests_; }
  void set_answer(Answer answer) { answer_ = std::move(answer); }
  void set_reply_text(const std::string& text) { reply_text_ = text; }

  // Replies `text` to `request` at its reply address.
  static bool Reply(const RecordedRequest& request, const std::string& text) {
    return SendPacket(request.replyTo, 0,
                      ReplyPacket(request.BrowserId(), request.RequestId(), text));
  }

  bool ProcessWindowMessage(nuv::platform::WindowHandle,
                            uint32_t message,
                            uintptr_t wparam,
                            intptr_t lparam,
                            intptr_t* result) override {
    if (message != nuv::platform::kWmCopyData || !lparam)
      return false;
    const auto* data = reinterpret_cast<const nuv::platform::CopyData*>(lparam);
    RecordedRequest request;
    request.kind = static_cast<uint32_t>(data->dwData);
    request.replyTo = static_cast<nuv::platform::WindowHandle>(wparam);
    const auto* bytes = static_cast<const uint8_t*>(data->lpData);
    if (bytes)
      request.bytes.assign(bytes, bytes + data->cbData);
    requests_.push_back(request);
    if (answer_)
      answer_(*this, request);
    else
      Reply(request, reply_text_);
    *result = 1;
    return true;
  }

 private:
  nuv::platform::WindowHandle handle_ = 0;
  std::vector<RecordedRequest> requests_;
  Answer answer_;
  std::string reply_text_;
};

}  // namespace nuv_test

#endif  // NUV_TESTS_BRIDGE_TEST_HOST_WINDOW_H_
