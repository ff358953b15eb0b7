#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "common/version.h"
#include "viewer/rows.h"

namespace quirel::viewer {
namespace {

TEST(ViewerRows, FontOneIsTheLargeSixteenByteRow) {
  EXPECT_EQ(RowWidthForFont(1), 16);
  EXPECT_EQ(RowWidthForFont(2), 20);
  EXPECT_EQ(RowWidthForFont(0), 20);
}

TEST(ViewerRows, SplitsIntoRowsAndDecodesGbk) {
  // "ab" + 中文 (D6 D0 CE C4) padded to 8, then "cd".
  const std::string bytes = "ab\xD6\xD0\xCE\xC4  cd";
  const auto rows = RenderRows(bytes, 8);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], "ab中文  ");
  EXPECT_EQ(rows[1], "cd");
}

TEST(ViewerRows, DeviceCodesShowAsTheirCharacters) {
  const std::string bytes = "\xA9\xFA\xA9\xFB\xA9\xFC\xA9\xFD\xA9\xFE";
  const auto rows = RenderRows(bytes, 10);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], "進迴槃卍脦");
}

TEST(ViewerRows, ControlBytesAndBrokenPairsShowAsBlanks) {
  const std::string bytes = std::string("a\x01", 2) + std::string("\xA1\x05", 2);
  const auto rows = RenderRows(bytes, 4);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], "a   ");
  // Pairs start on even columns: 中 one column late is "?", and its second
  // byte pairs with the "b" after it, as on the reader.
  EXPECT_EQ(RenderRows("a\xD6\xD0"
                       "b",
                       4),
            std::vector<std::string>{"a?\xE8\xA1\x8E"});
}

// Rows of width bytes, each padded with blanks.
std::string Rows(int width, std::initializer_list<std::string> rows) {
  std::string bytes;
  for (const std::string& row : rows) bytes += row + std::string(static_cast<std::size_t>(width) - row.size(), ' ');
  return bytes;
}

TEST(ViewerRows, RowWidthIsGuessedFromLengthAndParagraphIndents) {
  const std::string x14(14, 'x'), x16(16, 'x'), x18(18, 'x'), x20(20, 'x');
  const struct {
    const char* what;
    std::string bytes;
    int width;
  } cases[] = {
      {"three rows of 20 bytes cannot be rows of 16", Rows(20, {"  " + x18, x20, "ab"}), 20},
      {"five rows of 16 bytes cannot be rows of 20", Rows(16, {x16, x16, "  " + x14, x16, "cd"}), 16},
      // 80 bytes are a whole number of rows either way: the indents decide.
      {"indents at offsets 20 and 60", Rows(20, {x20, "  " + x18, x20, "  " + x18}), 20},
      {"an indent at offset 32", Rows(16, {x16, x16, "  " + x14, x16, x16}), 16},
      // A row never starts with a single blank: at 16 this one would.
      {"a single blank at offset 16", Rows(20, {x16 + " xxx", x20, x20, x20}), 20},
      {"no indent anywhere", std::string(80, 'x'), 0},
      {"empty", "", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(GuessRowWidth(c.bytes), c.width) << c.what;
}

// The viewer as a user starts it. A window would never end the run, so a
// time limit turns one into a failure.
TEST(ViewerProgram, AnswersAndRefusesWithoutOpeningAWindow) {
  const std::string viewer = QUIREL_BINARY_DIR "/viewer/quirel-viewer";
  const struct {
    std::string words;
    int status;
    std::string output;  // standard output and error together
  } cases[] = {
      {"--version", 0, "quirel-viewer " + std::string(quirel::kVersion) + "\n"},
      {"--help", 0, "Usage: quirel-viewer [--font large|small] [FILE]"},
      {"/nonexistent/novel.ebk", 1, "quirel-viewer: no such file: /nonexistent/novel.ebk\n"},
      {"/", 1, "quirel-viewer: a folder, not a file: /\n"},
      {"--font huge x.ebk", 64, "--font takes large or small, not huge"},
      {"--colour x.ebk", 64, "unknown option --colour"},
      {"a.ebk b.ebk", 64, "shows one file at a time"},
  };
  for (const auto& c : cases) {
    const std::string command = "QT_QPA_PLATFORM=offscreen timeout 20 " + viewer + " " + c.words + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    std::array<char, 512> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), c.status) << c.words;
    EXPECT_NE(output.find(c.output), std::string::npos) << c.words << ": " << output;
  }
}

}  // namespace
}  // namespace quirel::viewer
