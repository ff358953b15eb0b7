// Name records, directory paths and directory creation on the wire.
#include <gtest/gtest.h>

#include "link/commands.h"
#include "reader/storage.h"
#include "resources/messages.h"
#include "tests/commands/rig.h"

namespace quirel::testing {
namespace {

NameRecord Record(std::initializer_list<std::uint8_t> bytes) {
  NameRecord r{};
  std::copy(bytes.begin(), bytes.end(), r.begin());
  return r;
}

TEST(MakeRecordSafe, CutsAHalfCharacterAtByte15) {
  // Seven characters 啊 (B0 A1), the letter x, then the first byte of an eighth.
  NameRecord r =
      Record({0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 'x', 0xB0, 0xA1});
  MakeRecordSafe(r);
  EXPECT_EQ(
      r, Record({0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 'x', 0x00, 0x00}));
}

TEST(MakeRecordSafe, CountsFlipsNotCharacterBoundaries) {
  // 進 (DF 4D) flips the flag once, so the trail byte of the last 啊 at 15
  // is taken for a lead byte and cut; 進 then goes to the reader's code.
  NameRecord r =
      Record({0xDF, 0x4D, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0x41});
  MakeRecordSafe(r);
  EXPECT_EQ(r, Record({0xA9, 0xFA, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0xA1, 0xB0, 0x00,
                       0x00}));
  // Sixteen bytes of whole characters stay; byte 16 is always cleared.
  NameRecord full = MakeNameRecord(std::string(16, '\xB0') + "\xA1");
  MakeRecordSafe(full);
  EXPECT_EQ(full[15], 0xB0);
  EXPECT_EQ(full[16], 0x00);
}

TEST(MakeRecordSafe, SubstitutesDeviceCodesAtEveryPosition) {
  NameRecord r = Record({'a', 0xDF, 0x4D, 'b', 0xDE, 0x92, 0x98, 0x84, 0x85, 0x64, 0xC3, 0x8E});
  MakeRecordSafe(r);
  EXPECT_EQ(r, Record({'a', 0xA9, 0xFA, 'b', 0xA9, 0xFB, 0xA9, 0xFC, 0xA9, 0xFD, 0xA9, 0xFE}));
  // Also where the pair straddles two characters: B0 DF 4D ...
  NameRecord odd = Record({0xB0, 0xDF, 0x4D});
  MakeRecordSafe(odd);
  EXPECT_EQ(odd, Record({0xB0, 0xA9, 0xFA}));
}

TEST(CreateDeviceDirectory, SendsThePathThenEndsTheOperation) {
  Rig rig;
  ASSERT_EQ(CreateDirectoryCommand(rig.link, "新书"), LinkResult::kDone);
  const Bytes record = {0xD0, 0xC2, 0xCA, 0xE9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // D0 + C2 + CA + E9 = 0x345: the sum byte is 0x45; the count byte is not in it.
  EXPECT_EQ(rig.reader.Received(), Cat({Probe(), Burst(0xC4), {0x00}, record, {0x45}, Probe(), Burst(0x4E)}));
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, msg::kDirectoryCreated);
  EXPECT_EQ(rig.ui.messages[0].caption, msg::kCaption);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Information);
  EXPECT_TRUE(fs::is_directory(rig.Books() / "新书"));
}

TEST(CreateDeviceDirectory, RefusesEmptyAndUnsendableNamesWithoutSending) {
  Rig rig;
  EXPECT_EQ(CreateDirectoryCommand(rig.link, ""), LinkResult::kFailed);
  EXPECT_EQ(CreateDirectoryCommand(rig.link, "书\xF0\x9F\x98\x80"), LinkResult::kFailed);  // an emoji has no GBK form
  EXPECT_TRUE(rig.reader.Received().empty());
  ASSERT_EQ(rig.ui.messages.size(), 2u);
  EXPECT_EQ(rig.ui.messages[0].text, msg::kEnterDirectoryName);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Information);
  EXPECT_EQ(rig.ui.messages[1].text, msg::kDirectoryNameNotGbk);
}

TEST(CreateDeviceDirectory, ANameTheRecordCannotHoldWholeIsRefused) {
  const struct {
    const char* name;
    bool made;
  } cases[] = {{"小说小说小说小说", true},     // 16 bytes
               {"abcdefghijklmnop", true},     // 16 bytes
               {"小说小说小说小说a", false},   // 17 bytes
               {"a小说小说小说小说", false},   // 17 bytes: the record would lose its last character
               {"abcdefghijklmno小", false}};  // 17 bytes
  for (const auto& c : cases) {
    Rig rig;
    EXPECT_EQ(CreateDirectoryCommand(rig.link, c.name), c.made ? LinkResult::kDone : LinkResult::kFailed) << c.name;
    EXPECT_EQ(rig.ui.Texts(),
              std::vector<std::string>{std::string(c.made ? msg::kDirectoryCreated : msg::kDirectoryNameTooLong)})
        << c.name;
    std::vector<std::string> made;
    for (const auto& entry : fs::directory_iterator(rig.Books())) made.push_back(entry.path().filename().string());
    EXPECT_EQ(made, c.made ? std::vector<std::string>{c.name} : std::vector<std::string>{}) << c.name;
  }
}

TEST(CreateDeviceDirectory, LinkFailuresAreReportedWhereTheyHappen) {
  {
    Rig rig;  // the reader stops inside the 0xC4 burst
    rig.reader.SetSilentAfter(21 + 3);
    EXPECT_EQ(CreateDirectoryCommand(rig.link, "a"), LinkResult::kFailed);
    EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kDirectoryError)});
    EXPECT_TRUE(rig.ui.diagnostics.empty());
  }
  {
    Rig rig;  // ... inside the second link opening
    rig.reader.SetSilentAfter(21 + 10 + 1 + 17 + 1 + 5);
    EXPECT_EQ(CreateDirectoryCommand(rig.link, "a"), LinkResult::kFailed);
    EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kLinkError)});
    EXPECT_EQ(rig.ui.diagnostics, std::vector<std::string>{std::string(msg::kDiagTransport14)});
  }
  {
    Rig rig;  // ... inside the 0x4E burst: a diagnostic line only
    rig.reader.SetSilentAfter(21 + 10 + 1 + 17 + 1 + 21 + 2);
    EXPECT_EQ(CreateDirectoryCommand(rig.link, "a"), LinkResult::kFailed);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(rig.ui.diagnostics, std::vector<std::string>{std::string(msg::kDiagTransport15)});
  }
}

TEST(ReaderDirectories, PathChainIsCreatedSafelyAndOnlyWithTheRightSum) {
  Rig rig;
  std::vector<NameRecord> path = {MakeNameRecord(".."), MakeNameRecord("a/b"), MakeNameRecord("\xDF\x4D")};
  ASSERT_EQ(SendDirectoryPath(rig.link, path), LinkResult::kDone);
  EXPECT_TRUE(fs::is_directory(rig.Books() / "_" / "a_b" / "進"));
  EXPECT_FALSE(fs::exists(rig.dir / "reader" / "a"));

  // A path whose sum is wrong creates nothing and is noted in the reader's log.
  ASSERT_EQ(rig.link.OpenLink(), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendBurst(0xC4), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendByte(0), LinkResult::kDone);
  for (std::uint8_t b : MakeNameRecord("bad")) ASSERT_EQ(rig.link.SendByte(b), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendByte(0x00), LinkResult::kDone);
  EXPECT_FALSE(fs::exists(rig.Books() / "bad"));
  EXPECT_EQ(reader::ReadEvents(rig.dir / "reader").size(), 1u);
}

}  // namespace
}  // namespace quirel::testing
