// Strings, times, value containers and process messages.
#include <gtest/gtest.h>

#include <climits>

#include "include/cef_process_message.h"
#include "include/cef_values.h"

namespace {

TEST(CefStringText, ConvertsBetweenEncodings) {
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  CefString s(utf8);
  EXPECT_EQ(6u, s.length()) << "the emoji is a surrogate pair";
  EXPECT_EQ(u"a\u00e9\u20ac\U0001F600z", std::u16string(s));
  EXPECT_EQ(utf8, s.ToString());
  EXPECT_EQ(L"a\u00e9\u20ac\U0001F600z", s.ToWString());
  EXPECT_EQ(utf8, CefString(s.ToWString()).ToString());

  // Malformed input becomes U+FFFD, never a crash or a dropped tail.
  EXPECT_EQ(u"x\uFFFDy", std::u16string(CefString(std::string("x\xFFy"))));
  EXPECT_EQ(u"\uFFFD", std::u16string(CefString(std::string("\xE2\x82"))));
  EXPECT_EQ(u"\uFFFD", std::u16string(CefString(std::string("\xED\xA0\x80"))))
      << "an encoded surrogate is refused";
  CefString lone(std::u16string(1, static_cast<char16_t>(0xD800)));
  EXPECT_EQ("\xEF\xBF\xBD", lone.ToString());

  std::u16string with_nul(u"a\0b", 3);
  CefString embedded(with_nul);
  EXPECT_EQ(3u, embedded.length());
  EXPECT_EQ(0, embedded.c_str()[1]);
  EXPECT_NE(nullptr, CefString().c_str());
  EXPECT_TRUE(CefString(static_cast<const char*>(nullptr)).empty());
  EXPECT_TRUE(CefString("abc") < CefString("abd"));
  EXPECT_FALSE(CefString("x").FromASCII("caf\xC3\xA9"));
}

TEST(CefTimeUtc, ConvertsToAndFromTimeT) {
  CefTime second(static_cast<time_t>(1));
  EXPECT_EQ(1970, second.year);
  EXPECT_EQ(1, second.month);
  EXPECT_EQ(1, second.day_of_month);
  EXPECT_EQ(4, second.day_of_week) << "a Thursday";
  EXPECT_EQ(0, second.hour);
  EXPECT_EQ(1, second.second);

  cef_time_t leap = {2024, 2, 0, 29, 23, 59, 58, 123};
  time_t t = 0;
  ASSERT_EQ(1, cef_time_to_timet(&leap, &t));
  EXPECT_EQ(1709251198, t);
  cef_time_t back = {};
  ASSERT_EQ(1, cef_time_from_timet(t, &back));
  EXPECT_EQ(2024, back.year);
  EXPECT_EQ(2, back.month);
  EXPECT_EQ(29, back.day_of_month);
  EXPECT_EQ(4, back.day_of_week);
  EXPECT_EQ(58, back.second);
  EXPECT_EQ(0, back.millisecond);

  double d = 0;
  ASSERT_EQ(1, cef_time_to_doublet(&leap, &d));
  EXPECT_DOUBLE_EQ(1709251198.123, d);

  CefTime a(static_cast<time_t>(100)), b(static_cast<time_t>(160));
  EXPECT_EQ(60000, a.Delta(b));
  EXPECT_EQ(0, cef_time_to_timet(nullptr, &t));
  EXPECT_EQ(0, cef_time_from_timet(0, nullptr));
}

// CEF converts through Chromium's time type, where 0 means "no time": its
// fields read 1601-01-01 (where that type counts from) and convert back to 0.
TEST(CefTimeUtc, ZeroIsTheNullTime) {
  for (const CefTime& zero : {CefTime(static_cast<time_t>(0)), CefTime(0.0)}) {
    EXPECT_EQ(1601, zero.year);
    EXPECT_EQ(1, zero.month);
    EXPECT_EQ(1, zero.day_of_month);
    EXPECT_EQ(1, zero.day_of_week) << "a Monday";
    EXPECT_EQ(0, zero.GetTimeT());
    EXPECT_EQ(0.0, zero.GetDoubleT());
  }
  CefTime empty;
  EXPECT_EQ(0, empty.year) << "a default CefTime is all zero";
  EXPECT_EQ(0, empty.GetTimeT());
}

TEST(CefTimeUtc, BeforeTheEpochTruncatesTowardZero) {
  CefTime before(-1.5);
  EXPECT_EQ(1969, before.year);
  EXPECT_EQ(12, before.month);
  EXPECT_EQ(31, before.day_of_month);
  EXPECT_EQ(23, before.hour);
  EXPECT_EQ(58, before.second);
  EXPECT_EQ(500, before.millisecond);
  EXPECT_EQ(-1, before.GetTimeT());
  EXPECT_EQ(0, CefTime(-0.001).GetTimeT()) << "a millisecond before the epoch is second 0";
  EXPECT_DOUBLE_EQ(-1.5, before.GetDoubleT());
}

// Fields Windows refuses give the null time; the calls still succeed.
TEST(CefTimeUtc, ImpossibleFieldsConvertAsZero) {
  time_t t = 123;
  double d = 1;
  const cef_time_t impossible[] = {
      {2023, 2, 0, 30, 0, 0, 0, 0},     {2023, 1, 0, 1, 24, 0, 0, 0},  {2023, 13, 0, 1, 0, 0, 0, 0},
      {2016, 12, 0, 31, 23, 59, 60, 0}, {1600, 12, 0, 31, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const cef_time_t& fields : impossible) {
    EXPECT_EQ(1, cef_time_to_timet(&fields, &t));
    EXPECT_EQ(0, t);
    EXPECT_EQ(1, cef_time_to_doublet(&fields, &d));
    EXPECT_EQ(0.0, d);
  }
  cef_time_t before_1601 = {};
  ASSERT_EQ(1, cef_time_from_doublet(-11644473601.0, &before_1601));
  EXPECT_EQ(0, before_1601.year) << "nothing before 1601 breaks down";
  cef_time_t first = {1601, 1, 0, 1, 0, 0, 0, 1};
  ASSERT_EQ(1, cef_time_to_doublet(&first, &d));
  EXPECT_DOUBLE_EQ(-11644473599.999, d) << "1601 itself, past its first instant, converts";
}

TEST(CefListValueTypes, StoresAndReadsEveryKind) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  EXPECT_TRUE(list->SetBool(0, true));
  EXPECT_TRUE(list->SetInt(1, INT_MIN));
  EXPECT_TRUE(list->SetDouble(2, 2.5));
  EXPECT_TRUE(list->SetString(3, "t\xC3\xA9xt"));
  EXPECT_TRUE(list->SetNull(4));
  EXPECT_TRUE(list->SetString(7, "far"));
  ASSERT_EQ(8u, list->GetSize());
  EXPECT_EQ(VTYPE_BOOL, list->GetType(0));
  EXPECT_EQ(VTYPE_INT, list->GetType(1));
  EXPECT_EQ(VTYPE_DOUBLE, list->GetType(2));
  EXPECT_EQ(VTYPE_STRING, list->GetType(3));
  EXPECT_EQ(VTYPE_NULL, list->GetType(4));
  EXPECT_EQ(VTYPE_NULL, list->GetType(5)) << "growing fills with nulls";
  EXPECT_EQ(VTYPE_INVALID, list->GetType(8));
  EXPECT_EQ(VTYPE_INVALID, list->GetType(-1));
  EXPECT_TRUE(list->GetBool(0));
  EXPECT_EQ(INT_MIN, list->GetInt(1));
  EXPECT_EQ(2.5, list->GetDouble(2));
  EXPECT_EQ(static_cast<double>(INT_MIN), list->GetDouble(1)) << "ints read as doubles";
  EXPECT_EQ(u"t\u00e9xt", std::u16string(list->GetString(3)));

  // Wrong kinds and bad indices read as empty values.
  EXPECT_EQ(0, list->GetInt(3));
  EXPECT_FALSE(list->GetBool(1));
  EXPECT_TRUE(list->GetString(0).empty());
  EXPECT_TRUE(list->GetString(100).empty());
  EXPECT_FALSE(list->GetList(0));
  EXPECT_FALSE(list->SetInt(-1, 5));
  EXPECT_FALSE(list->Remove(8));

  EXPECT_TRUE(list->Remove(4));
  EXPECT_EQ(7u, list->GetSize());
  EXPECT_EQ("far", list->GetString(6).ToString());
  EXPECT_TRUE(list->SetSize(2));
  EXPECT_EQ(2u, list->GetSize());
}

TEST(CefListValueTypes, NestedContainersAndCopies) {
  CefRefPtr<CefListValue> inner = CefListValue::Create();
  inner->SetInt(0, 1);
  CefRefPtr<CefListValue> outer = CefListValue::Create();
  outer->SetList(0, inner);
  inner->SetInt(0, 2);
  EXPECT_EQ(1, outer->GetList(0)->GetInt(0)) << "the list stores a copy";
  outer->GetList(0)->SetInt(1, 9);
  EXPECT_EQ(9, outer->GetList(0)->GetInt(1)) << "nested lists are edited in place";

  CefRefPtr<CefDictionaryValue> dict = CefDictionaryValue::Create();
  dict->SetString("name", "v");
  dict->SetList("items", outer);
  outer->SetDictionary(1, dict);
  EXPECT_EQ(VTYPE_DICTIONARY, outer->GetType(1));
  EXPECT_EQ("v", outer->GetDictionary(1)->GetString("name").ToString());
  CefDictionaryValue::KeyList keys;
  dict->GetKeys(keys);
  EXPECT_EQ(2u, keys.size());

  const unsigned char bytes[] = {0, 1, 2, 255};
  outer->SetBinary(2, CefBinaryValue::Create(bytes, sizeof(bytes)));
  unsigned char out[8] = {};
  EXPECT_EQ(3u, outer->GetBinary(2)->GetData(out, sizeof(out), 1));
  EXPECT_EQ(255, out[2]);
  EXPECT_FALSE(CefBinaryValue::Create(nullptr, 4));

  CefRefPtr<CefListValue> copy = outer->Copy();
  EXPECT_TRUE(copy->IsEqual(outer));
  copy->GetList(0)->SetInt(0, 42);
  EXPECT_FALSE(copy->IsEqual(outer)) << "a copy is deep";
  EXPECT_EQ(1, outer->GetList(0)->GetInt(0));

  CefRefPtr<CefValue> value = CefValue::Create();
  EXPECT_EQ(VTYPE_NULL, value->GetType());
  value->SetString("s");
  outer->SetValue(3, value);
  EXPECT_EQ("s", outer->GetString(3).ToString());
  EXPECT_TRUE(outer->GetValue(3)->IsEqual(value));
}

TEST(CefProcessMessageBasics, NameArgumentsAndCopy) {
  CefRefPtr<CefProcessMessage> unnamed = CefProcessMessage::Create("");
  ASSERT_TRUE(unnamed) << "CEF makes a message without a name too";
  EXPECT_TRUE(unnamed->GetName().empty());
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("NuvTest");
  ASSERT_TRUE(message);
  message->GetArgumentList()->SetInt(0, 7);
  CefRefPtr<CefProcessMessage> copy = message->Copy();
  message->GetArgumentList()->SetInt(0, 8);
  EXPECT_EQ("NuvTest", copy->GetName().ToString());
  EXPECT_EQ(7, copy->GetArgumentList()->GetInt(0));
}

}  // namespace
