// The --html page's text handling on hand-made events: escaping of any bytes
// a page can send, cutting without splitting characters, decoded payloads,
// and the bounds that keep the page of a huge run small.
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <json/value.h>

#include "host/client/html_recorder.h"
#include "host/client/html_text.h"
#include "host/client/json_util.h"

namespace nuv {
namespace host {
namespace {

Json::Value Parse(const std::string& text) {
  Json::Value value;
  EXPECT_TRUE(ParseJson(text, &value, nullptr)) << text;
  return value;
}

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++count;
  return count;
}

TEST(HtmlTextTest, EscapesMarkupAndMakesAnyBytesShowable) {
  EXPECT_EQ("&lt;/script&gt;&lt;b a=&quot;1&quot; b=&#39;2&#39;&gt;&amp;amp;",
            EscapeHtml("</script><b a=\"1\" b='2'>&amp;"));
  // Tab and line feed stay; other controls show as their pictures.
  EXPECT_EQ("a\tb\nc\xE2\x90\x80\xE2\x90\x81\xE2\x90\x8D\xE2\x90\xA1",
            EscapeHtml(std::string("a\tb\nc\0\x01\r\x7F", 9)));
  // Well-formed UTF-8 passes: 2, 3 and 4 bytes.
  EXPECT_EQ("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
            EscapeHtml("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
  // An encoded lone surrogate, an overlong "/", a sequence cut short, a
  // byte that never starts one, a stray continuation byte, above U+10FFFF.
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(fffd + fffd + fffd + "x", EscapeHtml("\xED\xA0\x80x"));
  EXPECT_EQ(fffd + fffd + "/", EscapeHtml("\xC0\xAF/"));
  EXPECT_EQ(fffd + fffd + "&lt;", EscapeHtml("\xE2\x82<"));
  EXPECT_EQ(fffd + fffd + fffd + fffd, EscapeHtml("\xF5\x80\x80\x80"));
  EXPECT_EQ(fffd + fffd + fffd + fffd, EscapeHtml("\xF4\x90\x80\x80"));
  EXPECT_EQ(fffd + "a", EscapeHtml("\x80"
                                   "a"));
}

// Whatever the bytes, the escaped text is well-formed UTF-8 free of markup
// and controls: escaping it again only escapes its own '&'s.
TEST(HtmlTextTest, EscapedRandomBytesAreInert) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 5000; ++round) {
    std::string bytes(random() % 48, '\0');
    for (char& byte : bytes)
      byte = static_cast<char>(random() % 4 == 0 ? 0xE0 + random() % 32 : random());
    const std::string escaped = EscapeHtml(bytes);
    std::string ampersands_escaped;
    for (char c : escaped)
      ampersands_escaped += c == '&' ? std::string("&amp;") : std::string(1, c);
    ASSERT_EQ(ampersands_escaped, EscapeHtml(escaped)) << round;
  }
}

TEST(HtmlTextTest, CutsAtCharacterBoundaries) {
  bool cut = true;
  EXPECT_EQ("abc", CutUtf8("abc", 3, &cut));
  EXPECT_FALSE(cut);
  const std::string euro = "\xE2\x82\xAC";
  for (size_t limit = 1; limit <= 3; ++limit)
    EXPECT_EQ("a", CutUtf8("a" + euro, limit, &cut)) << limit;
  EXPECT_TRUE(cut);
  EXPECT_EQ("a" + euro, CutUtf8("a" + euro + "b", 4, &cut));
  EXPECT_EQ("a\xF0\x9F\x98\x80", CutUtf8("a\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 8, nullptr));
}

TEST(HtmlPayloadTest, DecodesRecordTextsAndCutsLongOnes) {
  const Json::Value reply =
      Parse(R"({"event":"reply","requestId":2,"time":10,"duration":5,)"
            R"("text":"{\"browserId\":1,\"value\":\"Report\",\"valueType\":\"NuvValueString\"}\n",)"
            R"("args":["[1,2]","not json {", "{\"a\":\"{\\\"nested\\\":1}\"}"]})");
  const std::string shown = DecodedPayload(reply, 4096);
  EXPECT_NE(std::string::npos, shown.find(R"("text": {"browserId":1,"value":"Report")")) << shown;
  EXPECT_NE(std::string::npos, shown.find("[1,2],")) << shown;
  EXPECT_NE(std::string::npos, shown.find(R"("not json {")")) << shown;
  // Only the event's own texts are decoded, not strings inside a record.
  EXPECT_NE(std::string::npos, shown.find(R"({"a":"{\"nested\":1}"})")) << shown;

  Json::Value huge = reply;
  huge["text"] = "{\"value\":\"" + std::string(1 << 20, 'x') + "\"}";
  huge["bytes"] = std::string(3 * 1000 - 1, 'a');
  const std::string cut = DecodedPayload(huge, 2000);
  EXPECT_LE(cut.size(), 2100u);
  EXPECT_NE(std::string::npos, cut.find("[cut at 2000 bytes; the transcript has the whole event]"));
  EXPECT_NE(std::string::npos, DecodedPayload(huge, 100000).find("[1000 bytes in all]"));
}

TEST(HtmlRecorderTest, PageOfAHugeHostileRunStaysBoundedAndInert) {
  HtmlRecorder recorder("</title><script>x</script>.json");
  Json::Value message = Parse(R"({"event":"message","browser":1,"args":[]})");
  message["name"] = "</text></svg><script>alert(1)</script>";
  message["args"].append(std::string(100000, '<'));
  const size_t events = HtmlRecorder::kMaxRows + 100;
  for (size_t i = 0; i < events; ++i) {
    // Times go back a little, as they do in transcripts.
    message["time"] = static_cast<Json::Int64>(1000 * (i + 1) - (i % 2 ? 1500 : 0));
    recorder.Observe(message);
  }
  const SequencePage page = recorder.Finish();
  EXPECT_EQ(HtmlRecorder::kMaxRows, page.rows.size());
  EXPECT_NE(std::string::npos, page.omitted.find("100 more are in the transcript"));
  for (size_t i = 1; i < page.rows.size(); ++i)
    ASSERT_LE(page.rows[i - 1].time, page.rows[i].time) << i;

  std::ostringstream out;
  ASSERT_TRUE(recorder.Write(out));
  const std::string html = out.str();
  EXPECT_EQ(1u, Occurrences(html, "<script"));
  EXPECT_EQ(1u, Occurrences(html, "</script>"));
  EXPECT_EQ(1u, Occurrences(html, "</title>"));
  EXPECT_EQ(1u, Occurrences(html, "</svg>"));
  EXPECT_EQ(HtmlRecorder::kMaxRows, Occurrences(html, "data-kind=\"message\""));
  // Payloads stop being kept at the budget (counted as written, where
  // every '<' takes four bytes), so the page stays bounded.
  EXPECT_LT(html.size(), HtmlRecorder::kPayloadBudget + HtmlRecorder::kMaxRows * 1024);
  EXPECT_NE(std::string::npos, html.find("[not kept: the page&#39;s payloads reached 8 MiB"));
}

}  // namespace
}  // namespace host
}  // namespace nuv
