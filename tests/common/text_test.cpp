#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/environment.h"
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
  std::uint32_t cp = 0;
  EXPECT_EQ(DecodeUtf8(reinterpret_cast<const std::uint8_t*>("\xC3\xA9!"), 3, cp), 2);  // é
  EXPECT_EQ(cp, 0xE9u);
  EXPECT_FALSE(IsValidUtf8("\xD6\xD0\xCE\xC4"));  // GBK 中文
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
  // U+0080 is no euro sign: the byte 0x80 is, in GBK.
  EXPECT_FALSE(Utf8ToGbk("\xC2\x80", gbk));
  // A character without a form costs only itself.
  EXPECT_EQ(Utf8ToGbkLossy("\xF0\x9F\x98\x80中", "?"), "?\xD6\xD0");
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
  // A strict order: equal names, in any letter case, are not less.
  EXPECT_FALSE(LessNoCase("Apple", "apple"));
  EXPECT_FALSE(LessNoCase("apple", "APPLE"));
  EXPECT_TRUE(StartsWithNoCase("README.txt--------/x/", "readme.TXT"));
  EXPECT_FALSE(StartsWithNoCase("read", "readme"));
  EXPECT_TRUE(StartsWithNoCase("Zip", "zIP"));
}

TEST(Environment, OptionsThenVariablesThenTheUsersDataFolder) {
  const auto dir = std::filesystem::temp_directory_path() / "quirel-env-test";
  std::filesystem::remove_all(dir);
  const std::string a = (dir / "a").string(), b = (dir / "b").string(), data = (dir / "data").string();
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  unsetenv("QUIREL_HOME");
  unsetenv("QUIREL_SYSTEM_DIR");
  Environment e = Environment::Resolve();
  EXPECT_EQ(e.home, data + "/quirel");
  EXPECT_EQ(e.systemDir, data + "/quirel/system");
  EXPECT_TRUE(std::filesystem::is_directory(e.systemDir));
  setenv("QUIREL_HOME", a.c_str(), 1);
  setenv("QUIREL_SYSTEM_DIR", b.c_str(), 1);
  e = Environment::Resolve();
  EXPECT_EQ(e.home, a);
  EXPECT_EQ(e.systemDir, b);
  e = Environment::Resolve(b, a);
  EXPECT_EQ(e.home, b);
  EXPECT_EQ(e.systemDir, a);
  unsetenv("QUIREL_HOME");
  unsetenv("QUIREL_SYSTEM_DIR");
  unsetenv("XDG_DATA_HOME");
  std::filesystem::remove_all(dir);
}

TEST(Ini, SetValueKeepsEveryOtherLine) {
  const struct {
    const char *before, *section, *key, *after;
  } cases[] = {
      // The key replaced where it stands, whatever its letter case.
      {"[a]\r\nX = 1\r\ny=2\r\n", "A", "x", "[a]\r\nX=5\r\ny=2\r\n"},
      // A new key goes after its section's last key, before the blank lines.
      {"[A]\r\nx=1\r\n\r\n[B]\r\nz=1\r\n", "A", "k", "[A]\r\nx=1\r\nk=5\r\n\r\n[B]\r\nz=1\r\n"},
      {"[A]\r\nx=1\r\n\r\n\r\n", "A", "k", "[A]\r\nx=1\r\nk=5\r\n\r\n\r\n"},
      // A missing section is added at the end; lone LFs become CR LF.
      {"[B]\nz=1\n", "A", "k", "[B]\r\nz=1\r\n[A]\r\nk=5\r\n"},
      {"", "A", "k", "[A]\r\nk=5\r\n"},
      // The same key of another section stays.
      {"[B]\r\nk=1\r\n[A]\r\n", "A", "k", "[B]\r\nk=1\r\n[A]\r\nk=5\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(SetIniValue(c.before, c.section, c.key, "5"), c.after) << c.before;
}

TEST(Ini, WriteThatFailsKeepsTheOldFile) {
  const auto dir = std::filesystem::temp_directory_path() / "quirel-ini-full";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "config.ini").string();
  { std::ofstream(path, std::ios::binary) << "[A]\r\n"; }
  // The disk fills up after a few bytes of the new file.
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit tight{8, limit.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  const bool written = WriteIniValue(path, "A", "key", "a value longer than the disk has room for");
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadIniValue(path, "A", "key", "none"), "none");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"config.ini"});  // no work file left behind
  std::filesystem::remove_all(dir);
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
