// Quick and full clear against the virtual reader: the files checked first,
// the blocks on the wire, the bars, the messages and the reader's state.
#include <gtest/gtest.h>

#include "link/clear.h"
#include "link/commands.h"
#include "reader/storage.h"
#include "resources/messages.h"
#include "tests/commands/rig.h"

namespace quirel::testing {
namespace {

// Made-up system files: no run 0, 1, 2 ... in them that could pass for a link opening.
Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(0x80 | ((i * 7 + seed) & 0x7F));
  return b;
}

std::uint8_t Sum(Bytes::const_iterator first, Bytes::const_iterator last) {
  std::uint8_t s = 0;
  for (; first != last; ++first) s = static_cast<std::uint8_t>(s + *first);
  return s;
}

struct ClearRig : Rig {
  Bytes fontJ = Pattern(8192, 1);   // exactly one block
  Bytes fontF = Pattern(8193, 2);   // two blocks
  Bytes bitmap = Pattern(9000, 3);  // only the first 8192 bytes go out
  ClearRig() {
    WriteAll(fs::path(env.SystemFile("chnstd1j40.bin")), fontJ);
    WriteAll(fs::path(env.SystemFile("chnstd1f40.bin")), fontF);
    WriteAll(fs::path(env.SystemFile("ebbmp40.bin")), bitmap);
    WriteAll(Books() / "小说" / "a.ebk", std::string("text"));
    WriteAll(firmware().PhonebookDir() / "data.bin", std::string("phone"));
  }
};

TEST(ClearDevice, FullClearWireSequence) {
  ClearRig rig;
  ASSERT_EQ(ClearDevice(rig.link, rig.env, 1), LinkResult::kDone);

  const Bytes j = rig.fontJ, f = rig.fontF, bmp = rig.bitmap;
  // The second block of chnstd1f40.bin: its one new byte, then what the
  // buffer kept from the first block; the sum covers all of it.
  Bytes second(f.begin(), f.begin() + 8192);
  second[0] = f[8192];
  const Bytes expected = Cat({Probe(),
                              Burst(0x8D),
                              {0x5A, 0xA5, 0xFC},
                              j,
                              {Sum(j.begin(), j.end())},
                              {0x5A, 0xA5, 0xFB},
                              Bytes(f.begin(), f.begin() + 8192),
                              {Sum(f.begin(), f.begin() + 8192)},
                              {0x5A, 0xA5, 0xFB},
                              second,
                              {Sum(second.begin(), second.end())},
                              {0x5A, 0xA5, 0xF8},
                              Probe(),
                              Burst(0xF7),
                              Bytes(bmp.begin(), bmp.begin() + 8192),
                              {Sum(bmp.begin(), bmp.begin() + 8192)}});
  EXPECT_EQ(rig.reader.Received(), expected);
  EXPECT_EQ(rig.clock.elapsedMs, 10u);

  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, msg::kFullClearDone);
  EXPECT_EQ(rig.ui.messages[0].caption, msg::kCaptionFullClear);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Information);

  // 8192 + 8193 + 9000 bytes are four blocks; only the three font blocks step.
  FakeProgress* window = rig.ui.Fake(ProgressKind::Clear);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->bars[Bar::Overall].high, 4);
  EXPECT_EQ(window->bars[Bar::Overall].steps, 3);
  EXPECT_EQ(window->bars[Bar::Overall].pos, 3);
  EXPECT_EQ(window->labels, (std::vector<std::string>{"chnstd1j40.bin", "chnstd1f40.bin", "ebpmp40.bin"}));
  EXPECT_EQ(window->bars[Bar::File].high, 163);  // two bitmap blocks: 16384 / 100
  EXPECT_EQ(window->bars[Bar::File].pos, 162);
  EXPECT_FALSE(window->visible);
  EXPECT_EQ(rig.ui.enableLog, (std::vector<std::pair<Window, bool>>{{Window::Main, false}, {Window::Main, true}}));

  // The reader: no e-books, no phonebook, the fonts as whole blocks, the bitmap's first block.
  EXPECT_TRUE(fs::is_empty(rig.Books()));
  EXPECT_TRUE(fs::is_empty(rig.firmware().PhonebookDir()));
  EXPECT_EQ(ReadAll(rig.firmware().SystemDir() / "chnstd1j40.bin"), j);
  EXPECT_EQ(ReadAll(rig.firmware().SystemDir() / "chnstd1f40.bin"), Cat({Bytes(f.begin(), f.begin() + 8192), second}));
  EXPECT_EQ(ReadAll(rig.firmware().SystemDir() / "ebbmp40.bin"), Bytes(bmp.begin(), bmp.begin() + 8192));
  EXPECT_TRUE(reader::ReadEvents(rig.dir / "reader").empty());
}

TEST(ClearDevice, QuickClearDeletesOnlyTheEbooks) {
  ClearRig rig;
  rig.ui.clearMode = 0;
  ASSERT_EQ(ClearDevice(rig.link, rig.env), LinkResult::kDone);
  EXPECT_EQ(rig.reader.Received(), Cat({Probe(), Burst(0x35)}));
  EXPECT_EQ(rig.clock.elapsedMs, 10u);
  ASSERT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kQuickClearDone)});
  EXPECT_EQ(rig.ui.messages[0].caption, msg::kCaption);
  EXPECT_TRUE(fs::is_empty(rig.Books()));
  EXPECT_EQ(ReadAll(rig.firmware().PhonebookDir() / "data.bin"), Bytes({'p', 'h', 'o', 'n', 'e'}));
  EXPECT_FALSE(fs::exists(rig.firmware().SystemDir() / "chnstd1j40.bin"));
}

TEST(ClearDevice, MissingSystemFilesStopBeforeAnythingIsSent) {
  const std::pair<const char*, std::string_view> cases[] = {
      {"chnstd1j40.bin", msg::kFont1OpenFailed},
      {"chnstd1f40.bin", msg::kFont2OpenFailed},
      {"ebbmp40.bin", msg::kBitmapCheckFailed},
  };
  for (const auto& [file, text] : cases) {
    ClearRig rig;
    fs::remove(rig.env.SystemFile(file));
    EXPECT_EQ(ClearDevice(rig.link, rig.env, 0), LinkResult::kFailed) << file;  // even a quick clear
    EXPECT_TRUE(rig.reader.Received().empty()) << file;
    ASSERT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(text)}) << file;
    EXPECT_EQ(rig.ui.messages[0].icon, Icon::Error);
    // Under the box: the file and the folder it was looked for in.
    ASSERT_EQ(rig.ui.diagnostics.size(), 1u) << file;
    EXPECT_EQ(rig.ui.diagnostics[0].find(std::string(msg::kSystemFileMissingNote) + file + "（"), 0u);
    EXPECT_NE(rig.ui.diagnostics[0].find(rig.env.systemDir), std::string::npos);
    EXPECT_EQ(rig.ui.Progress(ProgressKind::Clear), nullptr);
    EXPECT_TRUE(fs::exists(rig.Books() / "小说" / "a.ebk"));
  }
}

TEST(ClearDevice, CancelledOrReaderOffShowsNoCompletion) {
  {
    ClearRig rig;
    rig.ui.clearMode = std::nullopt;
    EXPECT_EQ(ClearDevice(rig.link, rig.env), LinkResult::kInterrupted);
    EXPECT_TRUE(rig.reader.Received().empty());
    EXPECT_TRUE(rig.ui.messages.empty());
  }
  {
    ClearRig rig;
    rig.reader.SetOff(true);
    EXPECT_EQ(ClearDevice(rig.link, rig.env, 0), LinkResult::kFailed);
    EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kLinkError)});
    EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  }
}

TEST(ClearDevice, FailingBitmapStepStillEndsWithCompletion) {
  ClearRig rig;
  // The reader stops answering right after the end of the font download.
  rig.reader.SetSilentAfter(21 + 10 + 3 * (3 + 8192 + 1) + 3);
  EXPECT_EQ(ClearDevice(rig.link, rig.env, 1), LinkResult::kFailed);
  // OpenLink's box, then the download's own, then the completion.
  ASSERT_EQ(rig.ui.Texts(), (std::vector<std::string>{std::string(msg::kLinkError), std::string(msg::kLinkError),
                                                      std::string(msg::kFullClearDone)}));
  EXPECT_EQ(rig.ui.messages[2].caption, msg::kCaptionFullClear);
}

TEST(ClearDevice, InterruptDuringTheFirstFontEndsSilently) {
  ClearRig rig;
  rig.ui.onPump = [&](long long pumps) {
    if (pumps == 100) rig.ui.Fake(ProgressKind::Clear)->interrupt = true;
  };
  EXPECT_EQ(ClearDevice(rig.link, rig.env, 1), LinkResult::kInterrupted);
  EXPECT_TRUE(rig.ui.messages.empty());
  FakeProgress* window = rig.ui.Fake(ProgressKind::Clear);
  EXPECT_FALSE(window->visible);
  EXPECT_FALSE(window->interrupt);
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  // The reader was wiped and got no whole font block.
  EXPECT_EQ(rig.reader.Received().size(), 21u + 10 + 3 + 100);
  EXPECT_TRUE(fs::is_empty(rig.Books()));
  EXPECT_FALSE(fs::exists(rig.firmware().SystemDir() / "chnstd1j40.bin"));
}

}  // namespace
}  // namespace quirel::testing
