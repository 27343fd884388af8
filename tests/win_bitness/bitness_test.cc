// The product ships as a 32-bit Windows program and talks to a client of
// either bitness. These cases say, for each pointer width, what holds where
// the code depends on it: pointer-sized members of the copy-data structure
// and of CEF's entry arguments, the 32-bit window handle inside a 64-bit
// HWND, and time_t behind the date records.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "include/cef_app.h"
#include "platform/message_window.h"
#include "src/app/host_window_switch.h"
#include "src/bridge/bridge_packet.h"
#include "src/values/value_record.h"

namespace {

using nuv::platform::CopyData;
using nuv::platform::WindowHandle;

constexpr bool k64 = sizeof(void*) == 8;

std::u16string Text(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

TEST(PointerWidthTest, CopyDataCarriesAPointerSizedKindAndAddress) {
  // COPYDATASTRUCT: dwData (ULONG_PTR), cbData (DWORD), lpData (PVOID).
  EXPECT_EQ(k64 ? 24u : 12u, sizeof(COPYDATASTRUCT));
  EXPECT_EQ(k64 ? 8u : 4u, offsetof(COPYDATASTRUCT, cbData));
  EXPECT_EQ(k64 ? 16u : 8u, offsetof(COPYDATASTRUCT, lpData));
  // The platform's copy of it keeps the same widths, so nothing is cut on
  // the way in or out of SendMessageW; a handler's result is an LRESULT.
  EXPECT_EQ(sizeof(ULONG_PTR), sizeof(CopyData{}.dwData));
  EXPECT_EQ(sizeof(DWORD), sizeof(CopyData{}.cbData));
  EXPECT_EQ(sizeof(LRESULT), sizeof(intptr_t));
  // CEF's entry arguments are the module instance alone.
  EXPECT_EQ(sizeof(HINSTANCE), sizeof(cef_main_args_t));
  EXPECT_EQ(k64 ? 8u : 4u, sizeof(CefMainArgs));
}

TEST(PointerWidthTest, BridgePacketsAreTheSameBytesForBothWidths) {
  // Only fixed-width fields: a 32-bit sub-process and a 64-bit client read
  // each other's packets unchanged.
  const std::vector<uint8_t> expected = {7, 0, 0, 0,   0xFE, 0xFF, 0xFF, 0xFF, 4,
                                         3, 2, 1, 'a', 'b',  0,    0,    0,    0};
  EXPECT_EQ(expected, BuildRequestPacket(7, -2, 0x01020304, "ab"));

  const uint8_t reply_bytes[] = {7, 0, 0, 0, 9, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD, 'o', 'k', 0, 'x'};
  NuvBridgeReply reply;
  ASSERT_TRUE(ReadReplyPacket(reply_bytes, sizeof(reply_bytes), &reply));
  EXPECT_EQ(7, reply.browserId);
  EXPECT_EQ(9, reply.requestId);
  EXPECT_EQ("ok", reply.text);
}

class QuietWindow : public nuv::platform::MessageWindowDelegate {
 public:
  bool ProcessWindowMessage(WindowHandle, uint32_t, uintptr_t, intptr_t, intptr_t*) override {
    return false;
  }
};

struct WindowSearch {
  const void* delegate;
  HWND found;
};

// EnumThreadWindows' callback: CALLBACK (stdcall in the 32-bit build).
BOOL CALLBACK MatchDelegate(HWND hwnd, LPARAM lparam) {
  auto* search = reinterpret_cast<WindowSearch*>(lparam);
  if (reinterpret_cast<const void*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) != search->delegate)
    return TRUE;
  search->found = hwnd;
  return FALSE;
}

// The real HWND of the thread's window whose user data is `delegate`.
HWND FindWindowOf(const void* delegate) {
  WindowSearch search = {delegate, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchDelegate, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST(WindowHandleTest, TheHandleIsTheWindowsLow32BitsAndSignExtendsBack) {
  QuietWindow delegate;
  const WindowHandle handle = nuv::platform::CreateMessageWindow(&delegate);
  ASSERT_NE(0u, handle);
  const HWND hwnd = FindWindowOf(&delegate);
  ASSERT_NE(nullptr, hwnd);
  const uint64_t value = reinterpret_cast<uintptr_t>(hwnd);
  EXPECT_EQ(handle, static_cast<uint32_t>(value));
  // A 64-bit process sees the same window as the 32-bit handle sign-extended;
  // a 32-bit one as the handle itself.
  const uint64_t sign_extended =
      static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(handle)));
  EXPECT_EQ(k64 ? sign_extended : static_cast<uint64_t>(handle), value);

  // The handle switch a client of this width writes (its HWND as a signed
  // number) reads back as the handle.
  const intptr_t signed_value = reinterpret_cast<intptr_t>(hwnd);
  EXPECT_EQ(handle,
            ParseHostWindowHandle(Text(std::to_string(static_cast<long long>(signed_value)))));
  EXPECT_TRUE(nuv::platform::DestroyMessageWindow(handle));
}

TEST(WindowHandleTest, HandlesWithBit31SetCrossBetweenWidths) {
  // Windows can hand out such handles; a 64-bit client's HWND is then
  // negative as a signed number, a 32-bit client's above 2^31.
  constexpr WindowHandle kHigh = 0x80001234u;
  EXPECT_EQ(kHigh, ParseHostWindowHandle(u"-2147478988"));  // 64-bit, signed
  EXPECT_EQ(kHigh, ParseHostWindowHandle(u"2147488308"));   // 32-bit, unsigned
  // Written as an unsigned 64-bit number the sign-extended value lies past
  // the signed 64-bit range the switch is read in: it sticks at the limit.
  EXPECT_EQ(0xFFFFFFFFu, ParseHostWindowHandle(u"18446744071562072628"));
  // Either width refuses such a handle at once when it names no window.
  EXPECT_FALSE(nuv::platform::IsMessageWindow(kHigh));
  const uint8_t byte = 0;
  CopyData data;
  data.cbData = 1;
  data.lpData = &byte;
  EXPECT_FALSE(nuv::platform::SendCopyData(kHigh, 0, data, nullptr));
}

TEST(TimeTest, DateRecordsPast2038WorkInBothWidths) {
  // time_t is 64 bits in the 32-bit build too, as with Microsoft's compilers
  // since 2005 (mingw-w64 for i686 is asked for it, see CMakeLists.txt), so
  // dates past 19 January 2038 are no overflow in a 32-bit process. With
  // mingw-w64's own 32-bit time_t they came back as 19700101T00:00:00; the
  // product's date code now refuses to compile with it.
  EXPECT_EQ(8u, sizeof(time_t));
  for (const char16_t* text : {u"20380119T03:14:08", u"20400229T12:00:00", u"22991231T23:59:59"}) {
    const time_t seconds = ParseDateText(text);
    EXPECT_EQ(std::u16string(text), FormatDateText(seconds)) << static_cast<long long>(seconds);
  }
  EXPECT_GT(ParseDateText(u"20400229T12:00:00"), static_cast<time_t>(INT32_MAX));
}

}  // namespace
