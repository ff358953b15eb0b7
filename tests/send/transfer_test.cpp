// One file to the reader: announcement, blocks, bar, pump, interrupt and the
// ways it fails.
#include <sys/stat.h>

#include "resources/messages.h"
#include "tests/send/send_rig.h"

namespace quirel::send::test {
namespace {

// Bytes that never look like a link opening.
std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(0x30 + (i * 7) % 64);
  return s;
}

struct KeepRig : Rig {
  // A file sent in the keep format, its name the reader's name for it.
  LinkResult Send(const fs::path& file, int depth = 0) {
    job->sendFormat = kKeepFormat;
    job->sourcePath = file.string();
    return job->SendAsIs(depth, file.string());
  }
};

TEST(SendFile, AnnouncementIsBurstDepthRecordsHeaderThenData) {
  KeepRig rig;
  const fs::path file = rig.Local("books/report.txt");
  WriteFile(file, "hello");
  ASSERT_EQ(rig.Send(file, 1), LinkResult::kDone);

  std::vector<std::uint8_t> expected;
  for (int b = 0; b <= 20; ++b) expected.push_back(static_cast<std::uint8_t>(b));
  expected.insert(expected.end(), 10, 0x7E);
  expected.push_back(1);  // depth
  const std::vector<std::uint8_t> record = {'b', 'o', 'o', 'k', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  expected.insert(expected.end(), record.begin(), record.end());
  const std::vector<std::uint8_t> header = {'r', 'e', 'p', 'o', 'r', 't', 0,   0, 0, 0,
                                            0,   0,   0,   0,   't', 'x', 't', 0, 0, 5};
  expected.insert(expected.end(), header.begin(), header.end());
  expected.push_back(0x01);  // report 0x29C + txt 0x160 + 5 = 0x401
  for (char c : std::string("hello")) expected.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(rig.reader.Received(), expected);
  EXPECT_EQ(ReadFile(rig.Books() / "books" / "report.txt"), "hello");
}

TEST(SendFile, FullBlocksThenSingleBytesWithPumpAndBar) {
  KeepRig rig;
  const fs::path file = rig.Local("data.bin");
  const std::string data = Pattern(2500);
  WriteFile(file, data);
  rig.ui.NewProgress(ProgressKind::Send);
  // Where the reader's log stands at every pump: before each block, then
  // before each of the 500 remaining bytes.
  std::vector<std::size_t> at;
  rig.ui.onPump = [&](long long) { at.push_back(rig.reader.Received().size()); };
  ASSERT_EQ(rig.Send(file), LinkResult::kDone);

  const std::size_t start = 31 + 1 + 21;  // opening, depth, header
  ASSERT_EQ(at.size(), 2u + 500u);
  EXPECT_EQ(at[0], start);
  EXPECT_EQ(at[1], start + 1000);
  EXPECT_EQ(at[2], start + 2000);
  EXPECT_EQ(at[3], start + 2001);
  EXPECT_EQ(at.back(), start + 2499);

  const testing::BarState& bar = rig.Progress().bars[Bar::File];
  EXPECT_EQ(bar.low, 0);
  EXPECT_EQ(bar.high, 3);
  EXPECT_EQ(bar.step, 1);
  EXPECT_EQ(bar.steps, 3);
  EXPECT_EQ(bar.pos, 3);

  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ((std::vector<std::uint8_t>{files[0].header[17], files[0].header[18], files[0].header[19]}),
            (std::vector<std::uint8_t>{0x00, 0x09, 0xC4}));
  EXPECT_EQ(files[0].data, Bytes(data));
  EXPECT_EQ(ReadFile(rig.Books() / "data.bin"), data);
}

TEST(SendFile, EmptyFileGoesAsOneByte) {
  KeepRig rig;
  const fs::path file = rig.Local("empty.txt");
  WriteFile(file, "");
  rig.ui.NewProgress(ProgressKind::Send);
  ASSERT_EQ(rig.Send(file), LinkResult::kDone);
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].header[19], 1);
  EXPECT_EQ(files[0].data.size(), 1u);
  EXPECT_EQ(rig.ui.pumps, 1);
  EXPECT_EQ(rig.Progress().bars[Bar::File].high, 1);
  EXPECT_EQ(ReadFile(rig.Books() / "empty.txt").size(), 1u);
}

TEST(SendFile, FileChosenOnItsOwnGoesWithDepthZero) {
  KeepRig rig;
  const fs::path file = rig.Local("a/b/c.txt");
  WriteFile(file, "c");
  ASSERT_EQ(rig.Send(file, 0), LinkResult::kDone);
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].depth, 0);
  EXPECT_EQ(files[0].data, Bytes("c"));
}

TEST(SendFile, LengthBeyondTwentyFourBitsIsRefusedBeforeTheWire) {
  KeepRig rig;
  const fs::path file = rig.Local("big.bin");
  WriteFile(file, "");
  fs::resize_file(file, 16777216);  // sparse: nothing is written
  rig.ui.NewProgress(ProgressKind::Send);
  EXPECT_EQ(rig.Send(file), LinkResult::kFailed);
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, std::string(msg::kFileTooLarge) + "big.bin");
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Error);
  EXPECT_TRUE(rig.reader.Received().empty());
}

TEST(SendFile, WhatCannotBeOpenedFailsSilentlyBeforeTheWire) {
  KeepRig rig;
  // No GBK form for the name.
  const fs::path smile = rig.Local("smile😀.txt");
  WriteFile(smile, "x");
  EXPECT_EQ(rig.Send(smile), LinkResult::kFailed);
  // A folder of the path without a GBK form.
  const fs::path inside = rig.Local("😀/a.txt");
  WriteFile(inside, "x");
  EXPECT_EQ(rig.Send(inside, 1), LinkResult::kFailed);
  // A pipe would block a reader of it: not a plain file.
  const fs::path pipe = rig.Local("pipe.txt");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(rig.Send(pipe), LinkResult::kFailed);
  // Missing.
  EXPECT_EQ(rig.Send(rig.Local("missing.txt")), LinkResult::kFailed);
  EXPECT_TRUE(rig.ui.messages.empty());
  EXPECT_TRUE(rig.reader.Received().empty());
}

TEST(SendFile, ReaderSwitchedOffIsALostLink) {
  KeepRig rig;
  const fs::path file = rig.Local("a.txt");
  WriteFile(file, "abc");
  ProgressWindow& window = rig.ui.NewProgress(ProgressKind::Send);
  window.Show();
  rig.ui.EnableWindow(Window::Main, false);
  rig.reader.SetOff(true);
  EXPECT_EQ(rig.Send(file), LinkResult::kFailed);
  EXPECT_EQ(rig.link.linkLost, 1);
  EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kLinkError)});
  EXPECT_FALSE(rig.Progress().visible);
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
}

TEST(SendFile, ReaderFallingSilentMidDataIsATransferError) {
  KeepRig rig;
  const fs::path file = rig.Local("a.txt");
  WriteFile(file, Pattern(1500));
  rig.reader.SetSilentAfter(31 + 1 + 21 + 700);
  EXPECT_EQ(rig.Send(file), LinkResult::kFailed);
  EXPECT_EQ(rig.link.linkLost, 0);
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, msg::kSendFileError);
  EXPECT_EQ(rig.ui.messages[0].caption, msg::kCaption);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Error);
  EXPECT_EQ(rig.ui.redraws, 1);
  EXPECT_FALSE(fs::exists(rig.Books() / "a.txt"));
}

TEST(SendFile, InterruptBetweenBlocksSendsOpeningAndEndBurst) {
  KeepRig rig;
  const fs::path file = rig.Local("long.txt");
  WriteFile(file, Pattern(3500));
  ProgressWindow& window = rig.ui.NewProgress(ProgressKind::Send);
  window.Show();
  rig.ui.EnableWindow(Window::Main, false);
  rig.ui.onPump = [&](long long n) {
    if (n == 2) rig.Progress().interrupt = true;  // pressed during the first block
  };
  EXPECT_EQ(rig.Send(file), LinkResult::kFailed);
  EXPECT_EQ(rig.job->userStopped, 1);
  EXPECT_FALSE(rig.Progress().interrupt);
  EXPECT_FALSE(rig.Progress().visible);
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  EXPECT_TRUE(rig.ui.messages.empty());
  EXPECT_EQ(rig.ui.redraws, 1);

  const auto commands = rig.Commands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].code, 0x7E);
  EXPECT_EQ(ParseFile(commands[0]).data.size(), 1000u);
  EXPECT_EQ(commands[1].code, 0x4E);
  EXPECT_TRUE(commands[1].payload.empty());
  // The reader drops the cut-off file.
  EXPECT_FALSE(fs::exists(rig.Books() / "long.txt"));
}

TEST(SendFile, InterruptJustBeforeTheEndLeavesNothingOnTheReader) {
  KeepRig rig;
  const fs::path file = rig.Local("short.txt");
  WriteFile(file, Pattern(1010));
  rig.ui.NewProgress(ProgressKind::Send);
  // Pump 1 precedes the block, pumps 2.. the ten last bytes: five go, then
  // the opening arrives while five are still due.
  rig.ui.onPump = [&](long long n) {
    if (n == 7) rig.Progress().interrupt = true;
  };
  EXPECT_EQ(rig.Send(file), LinkResult::kFailed);
  EXPECT_FALSE(fs::exists(rig.Books() / "short.txt"));
  // A file that existed under that name before keeps its content.
  KeepRig again;
  WriteFile(again.Books() / "short.txt", "old");
  const fs::path file2 = again.Local("short.txt");
  WriteFile(file2, Pattern(1010));
  again.ui.NewProgress(ProgressKind::Send);
  again.ui.onPump = [&](long long n) {
    if (n == 7) again.Progress().interrupt = true;
  };
  EXPECT_EQ(again.Send(file2), LinkResult::kFailed);
  EXPECT_EQ(ReadFile(again.Books() / "short.txt"), "old");
}

TEST(SendEntry, ConvertFormatAnnouncesEbkRows) {
  Rig rig;
  const fs::path file = rig.Local("Report.txt");
  WriteFile(file, "The quick brown fox.\r\n");
  rig.job->sendFormat = kConvertFormat;
  rig.job->fileKind = convert::kText;
  rig.job->sourcePath = file.string();
  ASSERT_EQ(rig.job->SendEntry(0, file.string()), LinkResult::kDone);
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].Name(), "Report");
  EXPECT_EQ(files[0].Extension(), "ebk");
  EXPECT_FALSE(files[0].data.empty());
  EXPECT_EQ(files[0].data.size() % 20, 0u);  // whole rows
}

}  // namespace
}  // namespace quirel::send::test
