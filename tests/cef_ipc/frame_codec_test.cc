// The IPC frame codec: every kind survives a round trip with awkward
// values, and malformed, truncated, oversized or garbage input is refused
// with a reason, never crashes and never allocates what a forged count asks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "cef/ipc/frame.h"
#include "cef/ipc/frame_codec.h"

namespace cefipc {
namespace {

std::vector<uint8_t> Encode(const Frame& frame) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(EncodeFrame(frame, &out, &error)) << error;
  return out;
}

// Decodes a whole encoded frame (length prefix included).
bool Decode(const std::vector<uint8_t>& bytes, Frame* frame, std::string* error) {
  bool sequence_known = false;
  return DecodeFrameBody(bytes.data() + kLengthPrefixSize, bytes.size() - kLengthPrefixSize, frame,
                         &sequence_known, error);
}

void ExpectSame(const Frame& a, const Frame& b) {
  EXPECT_EQ(a.kind, b.kind);
  EXPECT_EQ(a.sequence, b.sequence);
  EXPECT_EQ(a.browser_id, b.browser_id);
  EXPECT_EQ(a.frame_id, b.frame_id);
  EXPECT_EQ(a.flag, b.flag);
  EXPECT_EQ(a.result, b.result);
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.text, b.text);
  EXPECT_EQ(a.args, b.args) << ToDebugString(a.args) << " vs " << ToDebugString(b.args);
  EXPECT_EQ(a.ack_sequence, b.ack_sequence);
  EXPECT_EQ(a.status, b.status);
}

WireList AwkwardArgs() {
  const std::u16string lone_surrogates = {0xD800, u'x', 0xDFFF, 0};
  return {WireValue::Null(),
          WireValue::Bool(true),
          WireValue::Bool(false),
          WireValue::Int(std::numeric_limits<int32_t>::min()),
          WireValue::Int(-1),
          WireValue::Double(-0.0),
          WireValue::Double(std::numeric_limits<double>::quiet_NaN()),
          WireValue::Double(std::numeric_limits<double>::infinity()),
          WireValue::Double(1e-310),
          WireValue::String(u""),
          WireValue::String(lone_surrogates),
          WireValue::String(u"\u00e9\u4e2d\U0001F600"),
          WireValue::List({}),
          WireValue::List({WireValue::Int(1), WireValue::List({WireValue::String(u"deep")})})};
}

std::vector<Frame> EveryKind() {
  std::vector<Frame> frames = {
      MakeBrowserCreated(std::numeric_limits<int32_t>::min()),
      MakeBrowserDestroyed(-7),
      MakeContextCreated(3, std::numeric_limits<int64_t>::max(), true, u"main",
                         u"var x = 1;\n// \u00fc"),
      MakeContextCreated(3, -2, false, u"", u""),
      MakeContextReleased(3, std::numeric_limits<int64_t>::min()),
      MakeRunScript(9, 4, u"document.execCommand('bold')"),
      MakeProcessMessage(1, u"NuvChromeBrowser_ExecuteScript", AwkwardArgs()),
      MakeProcessMessage(1, u"empty", {}),
      MakeCollectGarbage(),
      MakeEnd(),
      MakeHello(12345),
      MakeMessageToBrowser(-1, u"NuvChromeBrowser_ContextCreated", AwkwardArgs()),
      MakeDocumentCommand(2, 8, u"bold", true, u"v", false),
      MakeAck(0xFFFFFFFFu, AckStatus::kRefused, u"unknown browser 4"),
      MakeAck(1, AckStatus::kDeclined, u""),
      MakeError(u"bad frame"),
  };
  uint32_t sequence = 1;
  for (Frame& f : frames)
    f.sequence = sequence++ * 0x01010101u;
  return frames;
}

TEST(FrameCodecTest, EveryKindRoundTripsWithAwkwardValues) {
  for (const Frame& frame : EveryKind()) {
    SCOPED_TRACE(FrameKindName(frame.kind));
    const std::vector<uint8_t> bytes = Encode(frame);
    const uint32_t length = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (bytes[3] << 24);
    EXPECT_EQ(length, bytes.size() - kLengthPrefixSize);
    Frame decoded;
    std::string error;
    ASSERT_TRUE(Decode(bytes, &decoded, &error)) << error;
    ExpectSame(frame, decoded);
  }
}

TEST(FrameCodecTest, FieldsOutsideTheKindAreNotCarried) {
  Frame f = MakeEnd();
  f.browser_id = 5;
  f.name = u"ignored";
  f.args = {WireValue::Int(1)};
  const std::vector<uint8_t> bytes = Encode(f);
  EXPECT_EQ(bytes.size(), kLengthPrefixSize + kFrameHeaderSize);
  Frame decoded;
  std::string error;
  ASSERT_TRUE(Decode(bytes, &decoded, &error));
  EXPECT_EQ(decoded.browser_id, 0);
  EXPECT_TRUE(decoded.name.empty());
  EXPECT_TRUE(decoded.args.empty());
}

TEST(FrameCodecTest, EveryTruncationIsRefusedWithAReason) {
  for (const Frame& frame : EveryKind()) {
    const std::vector<uint8_t> bytes = Encode(frame);
    const size_t body = bytes.size() - kLengthPrefixSize;
    for (size_t cut = 0; cut < body; ++cut) {
      Frame decoded;
      bool sequence_known = true;
      std::string error;
      EXPECT_FALSE(
          DecodeFrameBody(bytes.data() + kLengthPrefixSize, cut, &decoded, &sequence_known, &error))
          << FrameKindName(frame.kind) << " cut at " << cut;
      EXPECT_FALSE(error.empty());
      // From the header on, the receiver can name the frame it refuses.
      EXPECT_EQ(sequence_known, cut >= kFrameHeaderSize);
      if (sequence_known) {
        EXPECT_EQ(decoded.sequence, frame.sequence);
      }
    }
  }
}

TEST(FrameCodecTest, MalformedFieldsAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> body;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"unknown kind", {0x42, 1, 0, 0, 0}, "unknown frame kind"},
      {"trailing byte", {0x08, 1, 0, 0, 0, 0}, "trailing"},
      {"bool 2",
       {0x03, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0},
       "neither 0 nor 1"},
      {"forged text count",
       {0x01 + 0x04, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
       "runs past"},
      {"unknown value tag", {0x06, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 9}, "tag"},
      {"forged list count",
       {0x06, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F},
       "list count"},
      {"unknown ack status", {0x84, 1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0}, "status"},
  };
  for (const Case& c : cases) {
    Frame frame;
    bool sequence_known = false;
    std::string error;
    EXPECT_FALSE(DecodeFrameBody(c.body.data(), c.body.size(), &frame, &sequence_known, &error))
        << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    EXPECT_TRUE(sequence_known) << c.what;
    EXPECT_EQ(frame.sequence, 1u) << c.what;
  }
}

TEST(FrameCodecTest, NestingBeyondTheLimitIsRefusedBothWays) {
  WireValue deep = WireValue::Int(1);
  for (int i = 0; i < kMaxListDepth; ++i)
    deep = WireValue::List({deep});
  std::vector<uint8_t> out;
  std::string error;
  // The args list itself is depth 1, so kMaxListDepth - 1 nested lists fit.
  EXPECT_FALSE(EncodeFrame(MakeProcessMessage(1, u"m", {deep}), &out, &error));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(EncodeFrame(MakeProcessMessage(1, u"m", deep.GetList()), &out, &error)) << error;

  // A hand-made body nested 10,000 deep is refused without recursing that far.
  std::vector<uint8_t> body = {0x06, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, u'm', 0};
  for (int i = 0; i < 10000; ++i) {
    body.insert(body.end(), {1, 0, 0, 0, 5});
  }
  body.insert(body.end(), {0, 0, 0, 0});
  Frame frame;
  bool sequence_known = false;
  EXPECT_FALSE(DecodeFrameBody(body.data(), body.size(), &frame, &sequence_known, &error));
  EXPECT_NE(error.find("deeper"), std::string::npos) << error;
}

TEST(FrameCodecTest, OversizedFramesAreRefusedOnEitherSide) {
  // Encoding: the size is known before anything is written.
  std::u16string big(kMaxFrameBodySize / 2, u'a');
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(EncodeFrame(MakeRunScript(1, 1, big), &out, &error));
  EXPECT_NE(error.find("exceeds"), std::string::npos);
  EXPECT_TRUE(out.empty());

  // Splitting: a length beyond the limit is reported before any body arrives.
  FrameSplitter splitter;
  const uint32_t length = kMaxFrameBodySize + 1;
  const uint8_t prefix[] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                            static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
  splitter.Append(prefix, sizeof(prefix));
  std::vector<uint8_t> body;
  uint32_t announced = 0;
  EXPECT_EQ(splitter.Next(&body, &announced), FrameSplitter::Result::kOversized);
  EXPECT_EQ(announced, length);

  // Exactly at the limit is a normal (if large) frame.
  FrameSplitter at_limit;
  const uint32_t max = kMaxFrameBodySize;
  const uint8_t max_prefix[] = {static_cast<uint8_t>(max), static_cast<uint8_t>(max >> 8),
                                static_cast<uint8_t>(max >> 16), static_cast<uint8_t>(max >> 24)};
  at_limit.Append(max_prefix, sizeof(max_prefix));
  EXPECT_EQ(at_limit.Next(&body, &announced), FrameSplitter::Result::kNeedMore);
}

TEST(FrameCodecTest, SplitterReassemblesFramesFedByteByByte) {
  std::vector<uint8_t> stream;
  const std::vector<Frame> frames = EveryKind();
  std::string error;
  for (const Frame& f : frames)
    ASSERT_TRUE(EncodeFrame(f, &stream, &error));
  FrameSplitter splitter;
  std::vector<Frame> decoded;
  std::vector<uint8_t> body;
  uint32_t announced = 0;
  for (uint8_t byte : stream) {
    splitter.Append(&byte, 1);
    while (splitter.Next(&body, &announced) == FrameSplitter::Result::kBody) {
      Frame f;
      bool sequence_known = false;
      ASSERT_TRUE(DecodeFrameBody(body.data(), body.size(), &f, &sequence_known, &error)) << error;
      decoded.push_back(f);
    }
  }
  ASSERT_EQ(decoded.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i)
    ExpectSame(frames[i], decoded[i]);
  EXPECT_EQ(splitter.buffered(), 0u);
}

TEST(FrameCodecTest, GarbageNeverCrashesAndEndsInRefusals) {
  std::mt19937 random(20260110);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> garbage(random() % 200);
    for (uint8_t& b : garbage)
      b = static_cast<uint8_t>(random());
    // Mostly plausible lengths, so the bodies reach the decoder.
    if (garbage.size() >= 5 && round % 2 == 0) {
      const uint32_t length = static_cast<uint32_t>(garbage.size() - 4);
      garbage[0] = static_cast<uint8_t>(length);
      garbage[1] = static_cast<uint8_t>(length >> 8);
      garbage[2] = garbage[3] = 0;
      garbage[4] = static_cast<uint8_t>(1 + random() % 8);
    }
    FrameSplitter splitter;
    splitter.Append(garbage.data(), garbage.size());
    std::vector<uint8_t> body;
    uint32_t announced = 0;
    while (splitter.Next(&body, &announced) == FrameSplitter::Result::kBody) {
      Frame f;
      bool sequence_known = false;
      std::string error;
      if (!DecodeFrameBody(body.data(), body.size(), &f, &sequence_known, &error)) {
        EXPECT_FALSE(error.empty());
      }
    }
  }
}

}  // namespace
}  // namespace cefipc
