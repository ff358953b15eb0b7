#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/ini.h"
#include "common/text.h"

namespace quirel {
namespace {

TEST(Utf8, ValidityFollowsTheEncodingRules) {
  EXPECT_TRUE(IsValidUtf8("plain ascii"));
  EXPECT_TRUE(IsValidUtf8("\xE4\xB8\xAD\xE6\x96\x87"));  // 中文
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));          // a four-byte character
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                 // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));             // overlong, three bytes
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));             // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));                 // cut off at the end
  EXPECT_FALSE(IsValidUtf8("\xD6\xD0\xCE\xC4"));         // GBK 中文
}

TEST(Gbk, ConvertsBothWaysAndReportsWhatHasNoForm) {
  std::string gbk;
  EXPECT_TRUE(Utf8ToGbk("中文abc", gbk));
  EXPECT_EQ(gbk,
            "\xD6\xD0\xCE\xC4"
            "abc");
  EXPECT_EQ(GbkToUtf8(gbk), "中文abc");
  EXPECT_FALSE(
      Utf8ToGbk("a\xF0\x9F\x98\x80"
                "b",
                gbk));  // an emoji has no GBK form
  EXPECT_EQ(Utf8ToGbkLossy("a\xF0\x9F\x98\x80"
                           "b",
                           "\xA1\xA1"),
            "a\xA1\xA1"
            "b");
}

TEST(LowerMultibyte, NeverTouchesTheSecondByteOfACharacter) {
  // Big5 0xA4 0x43 and GBK 0x81 0x5A hold ASCII capitals as their second byte.
  EXPECT_EQ(LowerMultibyte("<P>\xA4\x43<BR>\x81\x5A"
                           "X"),
            "<p>\xA4\x43<br>\x81\x5A"
            "x");
  EXPECT_EQ(LowerAscii("Book/\xE4\xB8\xAD.TXT"), "book/\xE4\xB8\xAD.txt");
}

TEST(NoCase, OrdersAndMatchesLikeASortedListBox) {
  EXPECT_TRUE(LessNoCase("apple", "Banana"));
  EXPECT_FALSE(LessNoCase("Banana", "apple"));
  EXPECT_TRUE(LessNoCase("ab", "ABC"));
  EXPECT_TRUE(StartsWithNoCase("README.txt--------/x/", "readme.TXT"));
  EXPECT_FALSE(StartsWithNoCase("read", "readme"));
}

TEST(Ini, WritesOneKeyAndKeepsTheRest) {
  const auto dir = std::filesystem::temp_directory_path() / "quirel-ini-test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "config.ini").string();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "; viewer settings\r\n[Other]\r\nFont=9\r\n[ConfigInfo]\r\nFont=2\r\nColour=green\r\n";
  }
  ASSERT_TRUE(WriteIniValue(path, "ConfigInfo", "Font", "1"));
  ASSERT_TRUE(WriteIniValue(path, "ConfigInfo", "Language", "0"));
  EXPECT_EQ(ReadIniValue(path, "ConfigInfo", "Font"), "1");
  EXPECT_EQ(ReadIniValue(path, "ConfigInfo", "Language"), "0");
  EXPECT_EQ(ReadIniValue(path, "ConfigInfo", "Colour"), "green");
  EXPECT_EQ(ReadIniValue(path, "Other", "Font"), "9");
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  EXPECT_EQ(all.str().rfind("; viewer settings\r\n", 0), 0u);
  // A file that does not exist yet gets the section and the key.
  const std::string fresh = (dir / "fresh.ini").string();
  std::filesystem::remove(fresh);
  ASSERT_TRUE(WriteIniValue(fresh, "ConfigInfo", "Font", "2"));
  EXPECT_EQ(ReadIniValue(fresh, "ConfigInfo", "Font"), "2");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quirel
