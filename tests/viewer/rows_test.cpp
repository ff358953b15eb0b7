#include <gtest/gtest.h>

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
}

}  // namespace
}  // namespace quirel::viewer
