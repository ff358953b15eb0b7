// The Big5 check on the rows, the table, and the recoding to GB.
#include <cstring>

#include "convert/big5.h"
#include "tests/convert/convert_fixture.h"

namespace quirel::convert::testing {
namespace {

using Big5 = ConvertTest;

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(Big5Table, TellingEntries) {
  struct Case {
    std::uint8_t big5[2], gb[2];
  };
  const Case cases[] = {
      {{0xA1, 0x40}, {0xA1, 0xA1}}, {{0xA1, 0x41}, {0xA3, 0xAC}}, {{0xA1, 0x42}, {0xA1, 0xA2}},
      {{0xA1, 0x43}, {0xA1, 0xA3}}, {{0xA4, 0x40}, {0xD2, 0xBB}}, {{0xA4, 0x41}, {0xD2, 0xD2}},
  };
  const std::uint16_t* table = Big5ToGbTable();
  for (const Case& c : cases) {
    const std::size_t index = static_cast<std::size_t>(c.big5[0] - 0xA1) * 191 + (c.big5[1] - 0x40);
    std::uint8_t inMemory[2];
    std::memcpy(inMemory, &table[index], 2);  // lead byte first in memory
    EXPECT_EQ(inMemory[0], c.gb[0]) << std::hex << int(c.big5[0]) << int(c.big5[1]);
    EXPECT_EQ(inMemory[1], c.gb[1]) << std::hex << int(c.big5[0]) << int(c.big5[1]);
  }
}

TEST(Big5Table, TraditionalCharactersBecomeSimplifiedAndGapsBlank) {
  std::uint8_t gb[2];
  Big5PairToGb(0xAD, 0xCC, gb);  // 們 -> 们 0xC3 0xC7
  EXPECT_EQ(gb[0], 0xC3);
  EXPECT_EQ(gb[1], 0xC7);
  Big5PairToGb(0xA4, 0xA4, gb);  // 中 -> 中 0xD6 0xD0
  EXPECT_EQ(gb[0], 0xD6);
  EXPECT_EQ(gb[1], 0xD0);
  // Trail bytes 0x7F..0xA0 are not Big5: unassigned.
  Big5PairToGb(0xA4, 0x80, gb);
  EXPECT_EQ(gb[0], 0xA1);
  EXPECT_EQ(gb[1], 0xA1);
  // 0xFF lies outside the table.
  Big5PairToGb(0xFF, 0x40, gb);
  EXPECT_EQ(gb[0], 0xA1);
  EXPECT_EQ(gb[1], 0xA1);
  // The user-defined areas (private use in Unicode) hold nothing the reader shows.
  int shown = 0;
  for (int lead = 0xC6; lead <= 0xFE; ++lead)
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      if (lead > 0xC8 && lead < 0xFA) continue;
      Big5PairToGb(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail), gb);
      shown += gb[0] != 0xA1 || gb[1] != 0xA1;
    }
  EXPECT_EQ(shown, 0);
}

TEST_F(Big5, LooksLikeBig5CountsPairsByTheirSecondByte) {
  // Seven of twenty pairs with a second byte 0x40..0x7E: 35 %, Big5.
  EXPECT_EQ(LooksLikeBig5(Doc("a", Repeat("\xA4\x40", 7) + Repeat("\xD6\xD0", 13))), 1);
  // Six of twenty: 30 %, not Big5.
  EXPECT_EQ(LooksLikeBig5(Doc("b", Repeat("\xA4\x40", 6) + Repeat("\xD6\xD0", 14))), 0);
  // Only low second bytes: Big5; only high ones (pure GB2312): not.
  EXPECT_EQ(LooksLikeBig5(Doc("c", "ab \xA4\x40")), 1);
  EXPECT_EQ(LooksLikeBig5(Doc("d", Repeat("\xD6\xD0", 50))), 0);
  // A byte below 0xA1, or followed by one below 0x40, is single.
  EXPECT_EQ(LooksLikeBig5(Doc("e", "\xA4\x3F\x40\x41")), 0);
  EXPECT_EQ(LooksLikeBig5(Doc("f", "")), 0);
  EXPECT_EQ(LooksLikeBig5((root_ / "absent").string()), -1);
}

TEST_F(Big5, OnlyTheFirst2047BytesDecide) {
  EXPECT_EQ(LooksLikeBig5(Doc("in", std::string(2045, 'a') + "\xA4\x40")), 1);
  // The pair's second byte is byte 2048: the lead counts as single.
  EXPECT_EQ(LooksLikeBig5(Doc("out", std::string(2046, 'a') + "\xA4\x40")), 0);
}

TEST_F(Big5, GbRowsAreUsedAsTheyAre) {
  WriteFile(fs::path(env_.systemDir) / kEbookWork, Rows({"\xD6\xD0\xCE\xC4"}));
  Context ctx = Ctx();
  EXPECT_EQ(CheckTextCode(ctx), TextCode::kGb);
  EXPECT_FALSE(WorkExists(kRecodedWork));
}

TEST_F(Big5, Big5RowsAreRecodedToGb) {
  // 一乙，。 in Big5, then a blank row.
  WriteFile(fs::path(env_.systemDir) / kEbookWork, Rows({"\xA4\x40\xA4\x41\xA1\x41\xA1\x43", ""}));
  Context ctx = Ctx();
  EXPECT_EQ(CheckTextCode(ctx), TextCode::kRecoded);
  EXPECT_EQ(Work(kRecodedWork), Rows({"\xD2\xBB\xD2\xD2\xA3\xAC\xA1\xA3", ""}));
}

TEST_F(Big5, RecodingKeepsTheLengthAndWritesZeroAsOne) {
  // A malformed pair 0xA1 0x0A and a 0x00 byte: a line feed gains no CR,
  // so the rows stay whole; the zero is written as 0x01.
  std::string row =
      "\xA4\x40"
      "\xA1\x0A"
      "x";
  row.push_back('\0');
  WriteFile(fs::path(env_.systemDir) / kEbookWork, Rows({row}));
  Context ctx = Ctx();
  EXPECT_EQ(CheckTextCode(ctx), TextCode::kRecoded);
  EXPECT_EQ(Work(kRecodedWork), Rows({"\xD2\xBB\xA1\x0A"
                                      "x\x01"}));
}

TEST_F(Big5, LastLeadByteWithoutTrailIsCopied) {
  std::vector<std::uint8_t> in = {0xA4, 0x40, 0xA4};
  std::vector<std::uint8_t> out;
  RecodeBig5(in, out);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0xD2, 0xBB, 0xA4}));
}

TEST_F(Big5, MissingRowsFailTheCheck) {
  Context ctx = Ctx();
  EXPECT_EQ(CheckTextCode(ctx), TextCode::kFailed);
}

TEST_F(Big5, Big5TextGoesThroughRowsAndRecoding) {
  Context ctx = Ctx();
  std::string sendPath;
  // 中文，一乙 in Big5 (中 A4A4, 文 A4E5).
  ASSERT_EQ(ConvertForSend(ctx, Doc("big5.txt", "\xA4\xA4\xA4\xE5\xA1\x41\xA4\x40\xA4\x41"), kText, sendPath),
            ConvertResult::kDone);
  EXPECT_EQ(sendPath, env_.SystemFile(kRecodedWork));
  EXPECT_EQ(Checked(ReadFile(sendPath)), Rows({"\xD6\xD0\xCE\xC4\xA3\xAC\xD2\xBB\xD2\xD2"}));
}

}  // namespace
}  // namespace quirel::convert::testing
