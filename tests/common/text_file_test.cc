// Decoding of whole text files: UTF-16LE, UTF-8, ANSI, line ends, damage.
#include "src/common/text_file.h"

#include <random>

#include <gtest/gtest.h>

#include "src/common/file_util.h"
#include "tests/common/test_util.h"

namespace {

using nuv_test::ScratchDir;
using nuv_test::U16;
using nuv_test::Utf16Le;
using nuv_test::WriteBytes;

std::u16string Decode(const std::string& bytes, const std::u16string& name = u"config.dat") {
  return DecodeTextBuffer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), name);
}

const std::u16string kConfig = u"[Common]\nProductName=N\u00fcv\n";

TEST(TextFileTest, TheSameConfigurationInEveryEncoding) {
  const std::u16string crlf = u"[Common]\r\nProductName=N\u00fcv\r\n";
  EXPECT_EQ(Decode("\xFF\xFE" + Utf16Le(crlf)), kConfig);
  EXPECT_EQ(Decode(Utf16Le(crlf)), kConfig);  // no mark: recognised by its zeros
  EXPECT_EQ(Decode("\xEF\xBB\xBF[Common]\r\nProductName=N\xC3\xBCv\r\n"), kConfig);
  EXPECT_EQ(Decode("[Common]\r\nProductName=N\xFCv\r\n"), kConfig);  // Windows-1252
  EXPECT_EQ(Decode("[Common]\rProductName=N\xFCv\r"), kConfig);      // lone CR
}

TEST(TextFileTest, CodePageFollowsTheExtension) {
  const std::string bytes = "caf\xC3\xA9";
  EXPECT_EQ(Decode(bytes, u"/x/a.json"), u"caf\u00e9");
  EXPECT_EQ(Decode(bytes, u"/x/A.PY"), u"caf\u00e9");
  EXPECT_EQ(Decode(bytes, u"/x/a.ini"), u"caf\u00c3\u00a9");   // ANSI
  EXPECT_EQ(Decode(bytes, u"/x.json/a"), u"caf\u00c3\u00a9");  // a directory's dot
  EXPECT_EQ(Decode("<meta charset=utf-8>" + bytes, u"p.html"), u"<meta charset=utf-8>caf\u00e9");
}

TEST(TextFileTest, ZerosAndOddSizes) {
  EXPECT_EQ(Decode(std::string("a\0b\r\0\nc", 7)), u"ab\nc");  // short: single-byte
  EXPECT_EQ(Decode(std::string("\xFF\xFE"
                               "A\0B",
                               5)),
            u"AB");  // odd UTF-16: last unit kept
  EXPECT_EQ(Decode("\xFF\xFE"), u"");
  EXPECT_EQ(Decode("\xFF"), u"\u00ff");
  EXPECT_EQ(Decode(""), u"");
  EXPECT_EQ(Decode("\xEF\xBB\xBF"), u"");
  // UTF-16 with embedded zero units and a CR split from its LF by zeros.
  EXPECT_EQ(Decode("\xFF\xFE" + Utf16Le(std::u16string(u"a\0b\r\0\n", 6))), u"ab\n");
}

TEST(TextFileTest, LoadTextFileFromDisk) {
  ScratchDir dir;
  std::u16string text = u"unchanged";
  EXPECT_FALSE(LoadTextFile(U16(dir / "missing.dat"), &text));
  EXPECT_FALSE(LoadTextFile(U16(dir.path()), &text));  // a directory cannot be read
  WriteBytes(dir / "config.dat", "\xFF\xFE" + Utf16Le(u"[Common]\r\nProductName=N\u00fcv\r\n"));
  ASSERT_TRUE(LoadTextFile(U16(dir / "config.dat"), &text));
  EXPECT_EQ(text, kConfig);
  WriteBytes(dir / "empty.dat", "");
  ASSERT_TRUE(LoadTextFile(U16(dir / "empty.dat"), &text));
  EXPECT_EQ(text, u"");
}

// Large and noisy files decode without a crash and without a hang.
TEST(TextFileTest, HostileFiles) {
  ScratchDir dir;
  std::mt19937 random(7);
  std::string noise(1 << 20, '\0');
  for (char& c : noise)
    c = static_cast<char>(random());
  std::u16string text;
  WriteBytes(dir / "noise.dat", noise);
  EXPECT_TRUE(LoadTextFile(U16(dir / "noise.dat"), &text));
  WriteBytes(dir / "noise16.dat", "\xFF\xFE" + noise + "x");
  EXPECT_TRUE(LoadTextFile(U16(dir / "noise16.dat"), &text));
  WriteBytes(dir / "big.dat", std::string(50u << 20, 'k'));  // 50 MB, no line end
  ASSERT_TRUE(LoadTextFile(U16(dir / "big.dat"), &text));
  EXPECT_EQ(text.size(), 50u << 20);
}

TEST(FileEncodingTest, MarksAndShortFiles) {
  ScratchDir dir;
  auto detect = [&](const std::string& bytes) {
    WriteBytes(dir / "f", bytes);
    return DetectFileEncoding(U16(dir / "f"));
  };
  EXPECT_EQ(detect(std::string("\xFF\xFE"
                               "a\0",
                               4)),
            EncodingUtf16Le);
  EXPECT_EQ(detect("\xEF\xBB\xBF"
                   "a"),
            EncodingUtf8);
  EXPECT_EQ(detect("abcd"), EncodingAnsi);
  EXPECT_EQ(detect(std::string("\xFF\xFE"
                               "a\0",
                               4)),
            EncodingUtf16Le);  // 3 bytes or less
  EXPECT_EQ(DetectFileEncoding(U16(dir / "missing")), EncodingAnsi);
  EXPECT_EQ(DetectFileEncoding(U16(dir.path())), EncodingAnsi);
}

}  // namespace
