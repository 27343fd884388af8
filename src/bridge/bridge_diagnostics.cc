#include "src/bridge/bridge_diagnostics.h"

#include <cstdio>

#include "src/common/process_global.h"
#include "src/bridge/bridge_packet.h"
#include "src/common/format_text.h"
#include "src/common/text_conv.h"

namespace {

const char16_t* KindName(uint32_t kind) {
  switch (kind) {
    case BRIDGE_REPLY:
      return u"BRIDGE_REPLY";
    case BRIDGE_GET_NAMED_OBJECTS:
      return u"BRIDGE_GET_NAMED_OBJECTS";
    case BRIDGE_RELEASE_OBJECT:
      return u"BRIDGE_RELEASE_OBJECT";
    case BRIDGE_GET_PROPERTY:
      return u"BRIDGE_GET_PROPERTY";
    case BRIDGE_SET_PROPERTY:
      return u"BRIDGE_SET_PROPERTY";
    case BRIDGE_CALL_METHOD:
      return u"BRIDGE_CALL_METHOD";
    case BRIDGE_CALL_OTHER_BROWSER_FUNCTION:
      return u"BRIDGE_CALL_OTHER_BROWSER_FUNCTION";
  }
  return u"unknown";
}

}  // namespace

std::u16string DescribeBridgeRequest(const NuvBridgeRequestInfo& info) {
  std::u16string text = u"kind " + DecimalText(info.kind) + u" (" + KindName(info.kind) +
                        u"), browser " + DecimalText(info.browserId) + u", request " +
                        DecimalText(info.requestId) + u", object " + DecimalText(info.objectId) +
                        u", name \"" + Utf8ToWide(info.name) + u"\"";
  return text;
}

void LogBridgeRequestFailure(const NuvBridgeRequestInfo& info, const char16_t* why) noexcept {
  WriteDebugLogNoThrow([&] {
    return FormatText(std::u16string(u"bridge request failed: %1: %2"), DescribeBridgeRequest(info),
                      std::u16string(why ? why : u""));
  });
}

CNuvSlowRequestWatch::CNuvSlowRequestWatch(const NuvBridgeRequestInfo& info, uint32_t thresholdMs)
    : m_info(info), m_thresholdMs(thresholdMs), m_start(std::chrono::steady_clock::now()) {
  // A watch that cannot be armed leaves the request unwatched, nothing else.
  m_timer.Start(thresholdMs, &CNuvSlowRequestWatch::OnThreshold, this);
}

CNuvSlowRequestWatch::~CNuvSlowRequestWatch() {
  Finish(false);
}

// Runs on the timer's thread while the render thread is blocked in the
// send; the request it describes stays alive until Finish has cancelled the
// timer, which waits for this to return.
void CNuvSlowRequestWatch::OnThreshold(void* self) {
  const auto* watch = static_cast<const CNuvSlowRequestWatch*>(self);
  WriteLogNoThrow([watch] {
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%g", watch->m_thresholdMs / 1000.0);
    return FormatText(std::u16string(u"bridge request still waiting after %1 s: %2"),
                      Utf8ToWide(seconds), DescribeBridgeRequest(watch->m_info));
  });
}

void CNuvSlowRequestWatch::Finish(bool answered) noexcept {
  if (m_finished)
    return;
  m_finished = true;
  if (!m_timer.Cancel())
    return;
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - m_start;
  WriteLogNoThrow([&] {
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%.1f", waited.count());
    return FormatText(std::u16string(answered ? u"bridge request answered after %1 s: %2"
                                              : u"bridge request ended unanswered after %1 s: %2"),
                      Utf8ToWide(seconds), DescribeBridgeRequest(m_info));
  });
}
