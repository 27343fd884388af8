// The common library on its Win32 backends, under real Windows services:
// the interface language from the registry, the ANSI code page and
// IsTextUnicode in the configuration reader, the log file's byte layout with
// the Windows date and time texts, the debug switch from the real command
// line, and the temp path from the user's TMP directory.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/common/log.h"
#include "src/common/text_conv.h"
#include "src/common/text_file.h"
#include "tests/common/test_util.h"

namespace {

using nuv_test::ChildResult;
using nuv_test::ReadBytes;
using nuv_test::RunChild;
using nuv_test::ScratchDir;
using nuv_test::TestBinDir;
using nuv_test::Utf16Le;
using nuv_test::WriteBytes;

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = nuv_test::U16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Dword(uint32_t value) {
  return std::string(reinterpret_cast<const char*>(&value), 4);
}

// Copies the probe into `dir`, where it finds its own configuration.
std::string CopyProbe(const ScratchDir& dir) {
  std::string probe = dir / "win_common_probe.exe";
  std::wstring source = Wide(TestBinDir() + "win_common_probe.exe");
  EXPECT_TRUE(CopyFileW(source.c_str(), Wide(probe).c_str(), FALSE));
  return probe;
}

// A copy of the probe in a scratch directory of its own, with a product
// name of its own so that its registry key is private to this test run.
class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    probe_ = dir_ / "win_common_probe.exe";
    ASSERT_TRUE(CopyFileW(Wide(TestBinDir() + "win_common_probe.exe").c_str(), Wide(probe_).c_str(),
                          FALSE));
    inner_ = nuv_test::UniqueName("NuvWinTest");
  }

  // Stores the "LCID" value of this test's product as `type`; the key goes
  // away with the fixture.
  bool SetLcid(uint32_t type, const std::string& bytes) {
    return settings_.SetRaw(inner_, "LCID", bytes, type);
  }

  void WriteConfig(const std::string& name, const std::string& lines) {
    ASSERT_TRUE(WriteBytes(dir_ / name, lines));
  }

  ChildResult Run(const std::string& locale = "C.UTF-8") {
    return RunChild(probe_, {"global"},
                    {{"LC_ALL", locale}, {"TMP", dir_ / "tmp"}, {"TEMP", dir_ / "tmp"}});
  }

  std::string Expected(const std::string& product, const std::string& lang) {
    return "product=" + product + "\ninner=" + inner_ + "\nlang=" + lang +
           "\ntemp=" + (dir_ / "tmp\\") + inner_ + "\\\n";
  }

  ScratchDir dir_;
  nuv_test::UserSettings settings_;
  std::string probe_;
  std::string inner_;
};

TEST_F(ConfigTest, RegistryLanguageIsFoldedAndLocalisesTheProductName) {
  WriteConfig("config.dat",
              "[Common]\r\nProductName=Plain\r\nProductName_1028=Traditional\r\n"
              "ProductName_2052=Simplified\r\nInnerProductName=" +
                  inner_ + "\r\n");
  // No key: the user's locale, en-US in the C locale.
  EXPECT_EQ(Run().output, Expected("Plain", "1033"));
  ASSERT_TRUE(SetLcid(REG_DWORD, Dword(0x0C04)));  // zh-HK
  EXPECT_EQ(Run().output, Expected("Traditional", "1028"));
  ASSERT_TRUE(SetLcid(REG_DWORD, Dword(0x1004)));  // zh-SG
  EXPECT_EQ(Run().output, Expected("Simplified", "2052"));
  // Four bytes of any type count; 0 means the user's locale.
  ASSERT_TRUE(SetLcid(REG_BINARY, Dword(0x0404)));
  EXPECT_EQ(Run().output, Expected("Traditional", "1028"));
  ASSERT_TRUE(SetLcid(REG_DWORD, Dword(0)));
  EXPECT_EQ(Run().output, Expected("Plain", "1033"));
  // A value that is not four bytes long is no setting.
  ASSERT_TRUE(SetLcid(REG_SZ, Utf16Le(u"3076") + '\0' + '\0'));
  EXPECT_EQ(Run().output, Expected("Plain", "1033"));
}

TEST_F(ConfigTest, ExcludedLanguageTurnsLocalisationOff) {
  WriteConfig("config.dat",
              "[Common]\r\nProductName=Plain\r\nProductName_1028=Traditional\r\n"
              "InnerProductName=" +
                  inner_ + "\r\nUIExcludes=1033,1028\r\n");
  ASSERT_TRUE(SetLcid(REG_DWORD, Dword(1028)));
  EXPECT_EQ(Run().output, Expected("Plain", "0"));
}

TEST_F(ConfigTest, AnsiUtf16AndOemFilesReadAlike) {
  // "N\xFCv" is the ANSI (Windows-1252) spelling of "Nüv".
  WriteConfig("config.dat",
              "[Common]\r\nProductName=N\xFCv\r\nInnerProductName=" + inner_ + "\r\n");
  ChildResult ansi = Run();
  EXPECT_EQ(ansi.exit_code, 0);
  EXPECT_EQ(ansi.output, Expected("N\xC3\xBCv", "1033"));
  std::u16string text = u"[Common]\r\nProductName=N\u00fcv\r\nInnerProductName=" +
                        std::u16string(inner_.begin(), inner_.end()) + u"\r\n";
  WriteConfig("config.dat", "\xFF\xFE" + Utf16Le(text));
  EXPECT_EQ(Run().output, ansi.output);
  WriteConfig("config.dat", Utf16Le(text));  // no mark: IsTextUnicode decides
  EXPECT_EQ(Run().output, ansi.output);
  // oem.ini wins over config.dat, even when it lacks the product name.
  WriteConfig("oem.ini", "[Common]\r\nOther=1\r\n");
  EXPECT_EQ(Run().exit_code, -1);
  EXPECT_EQ(Run().output, "");
}

TEST(CodePageTest, AnsiIsTheSystemCodePage) {
  ASSERT_EQ(GetACP(), 1252u) << "the leg runs wine in the C locale";
  EXPECT_EQ(MultiByteToWideText("\x80\xFC", kCodePageAnsi), u"\u20AC\u00FC");
  const std::string bytes = "[Common]\r\nProductName=N\xFCv\r\n";
  const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
  EXPECT_EQ(DecodeTextBuffer(data, bytes.size(), u"C:\\x\\config.dat"),
            u"[Common]\nProductName=N\u00fcv\n");
  // ".json" files are UTF-8, where a lone 0xFC is no character.
  EXPECT_EQ(DecodeTextBuffer(data, bytes.size(), u"C:\\x\\a.json"),
            u"[Common]\nProductName=N\uFFFDv\n");
}

// The long date and the time of the calling thread's locale, as the log
// line has them, for the current second.
std::u16string DateTimeNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wMilliseconds = 0;
  wchar_t date[260] = {};
  wchar_t time[260] = {};
  GetDateFormatW(GetThreadLocale(), DATE_LONGDATE, &now, nullptr, date, 260);
  GetTimeFormatW(GetThreadLocale(), 0, &now, nullptr, time, 260);
  return reinterpret_cast<const char16_t*>(date) + std::u16string(u" ") +
         reinterpret_cast<const char16_t*>(time);
}

std::u16string FromUtf16Le(const std::string& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                         static_cast<uint8_t>(bytes[i + 1]) << 8));
  return text;
}

std::u16string Decimal(uint32_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

TEST(LogTest, LineLayoutWithWindowsDateAndTime) {
  ScratchDir dir;
  std::string path = dir / "a.log";
  std::u16string before = DateTimeNow();
  AppendLogLine(Utf8ToWide(path), u"two\r\nwords \u4e2d");
  std::u16string after = DateTimeNow();
  std::string bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  std::u16string line = FromUtf16Le(bytes.substr(2));
  std::u16string tail = u" (" + Decimal(GetCurrentProcessId()) + u"-" +
                        Decimal(GetCurrentThreadId()) + u"): two  words \u4e2d\r\n";
  std::u16string head = u"win_common_test.exe ";
  EXPECT_TRUE(line == head + before + tail || line == head + after + tail)
      << WideToUtf8(line) << "\nexpected " << WideToUtf8(head + before + tail);
}

TEST(LogTest, SizeLimitAndProcessesSharingTheFile) {
  ScratchDir dir;
  std::string path = dir / "b.log";
  std::string probe = CopyProbe(dir);
  WriteBytes(dir / "config.dat", "[Common]\r\nProductName=Nuv\r\n");
  // Exactly the limit: appended to.
  WriteBytes(path, "\xFF\xFE" + std::string(kMaxLogFileSize - 2, 'a'));
  ChildResult first = RunChild(probe, {"log", path, "1", "kept"});
  ASSERT_EQ(first.exit_code, 0);
  std::string bytes = ReadBytes(path);
  EXPECT_GT(bytes.size(), kMaxLogFileSize);
  std::u16string last = FromUtf16Le(bytes.substr(kMaxLogFileSize));
  EXPECT_EQ(last.substr(0, 21), u"win_common_probe.exe ");
  EXPECT_NE(last.find(u" (" + Decimal(first.process_id) + u"-"), std::u16string::npos);
  // One byte more: deleted and started afresh with one mark.
  WriteBytes(path, "\xFF\xFE" + std::string(kMaxLogFileSize - 1, 'a'));
  ASSERT_EQ(RunChild(probe, {"log", path, "3", "fresh"}).exit_code, 0);
  std::string fresh = ReadBytes(path);
  EXPECT_LT(fresh.size(), 4096u) << "the old content is gone";
  std::u16string text = FromUtf16Le(fresh);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text[0], u'\uFEFF');
  EXPECT_EQ(text.find(u'\uFEFF', 1), std::u16string::npos);
  size_t lines = 0;
  for (size_t at = text.find(u": fresh\r\n"); at != std::u16string::npos;
       at = text.find(u": fresh\r\n", at + 1))
    ++lines;
  EXPECT_EQ(lines, 3u);
}

TEST(LogTest, DebugLinesFollowTheRealCommandLine) {
  ScratchDir dir;
  std::string path = dir / "d.log";
  std::string probe = CopyProbe(dir);
  WriteBytes(dir / "config.dat", "[Common]\r\nProductName=Nuv\r\n");
  ASSERT_EQ(RunChild(probe, {"debuglog", path, "hidden"}).exit_code, 0);
  EXPECT_EQ(GetFileAttributesW(Wide(path).c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_EQ(RunChild(probe, {"debuglog", path, "shown", "/DEBUG"}).exit_code, 0);
  std::u16string text = FromUtf16Le(ReadBytes(path));
  EXPECT_NE(text.find(u": shown\r\n"), std::u16string::npos);
}

}  // namespace
