// The receive item stream: sizes, names, levels, checksums, interruptions,
// messages, and names that try to leave the target folder.
#include <gtest/gtest.h>

#include "link/receive.h"
#include "resources/messages.h"
#include "tests/commands/rig.h"

namespace quirel::testing {
namespace {

Bytes Padded(const std::string& text, std::size_t width) {
  Bytes b(text.begin(), text.end());
  b.resize(width, 0);
  return b;
}

// One item as the reader sends it; the sum is the additive sum of all its bytes.
Bytes Item(const Bytes& size3, const std::string& base, const std::string& ext, const std::vector<std::string>& levels,
           const Bytes& data, int sumError = 0) {
  Bytes item = Cat({{0xB3}, size3, Padded(base, 14), Padded(ext, 3), {static_cast<std::uint8_t>(levels.size())}});
  for (const std::string& level : levels) item = Cat({item, Padded(level, 17)});
  item = Cat({item, data});
  std::uint8_t sum = 0;
  for (std::uint8_t b : item) sum = static_cast<std::uint8_t>(sum + b);
  item.push_back(static_cast<std::uint8_t>(sum + sumError));
  return item;
}

Bytes Data(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + 5);
  return b;
}

struct ReceiveRig : Rig {
  fs::path target = dir / "target";
  LinkResult Receive(const Bytes& reply) {
    ReplyTo(0xB3, reply);
    return ReceiveFiles(link, 0xB3, target.string());
  }
};

TEST(ReceiveFiles, EndMarkerAtOnce) {
  ReceiveRig rig;
  EXPECT_EQ(rig.Receive({0xB2}), LinkResult::kDone);
  EXPECT_EQ(rig.reader.Received(), Cat({Probe(), Burst(0xB3)}));
  ASSERT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kAllReceived)});
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Information);
  EXPECT_TRUE(fs::is_directory(rig.target));
  EXPECT_TRUE(fs::is_empty(rig.target));
  EXPECT_EQ(rig.ui.expandedPaths, std::vector<std::string>{rig.target.string()});
  EXPECT_FALSE(rig.ui.Fake(ProgressKind::Receive)->visible);
  EXPECT_EQ(rig.ui.Fake(ProgressKind::Receive)->bars[Bar::Overall].pos, 99);
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
}

TEST(ReceiveFiles, SizesNamesAndLevels) {
  ReceiveRig rig;
  fs::create_directories(rig.target / "BOOK" / "Novel");
  const Bytes one = Data(1), many = Data(257);
  EXPECT_EQ(rig.Receive(Cat({Item({0, 0, 0}, "readme", "txt", {}, one),
                             Item({0, 1, 0}, "a", "ebk", {"book", "novel"}, many),
                             Item({0, 0, 0}, "abc", std::string("\0xy", 3), {}, one),
                             Item({0, 0, 0}, "\xA9\xFA", "txt", {"\xCA\xE9"}, one),
                             // Six levels are the most a path holds.
                             Item({0, 0, 0}, "deep", "txt", {"1", "2", "3", "4", "5", "6"}, one),
                             {0xB2}})),
            LinkResult::kDone);
  EXPECT_EQ(ReadAll(rig.target / "readme.txt"), one);
  // Existing folders are reused whatever their letter case; nothing new is made.
  EXPECT_EQ(ReadAll(rig.target / "BOOK" / "Novel" / "a.ebk"), many);
  EXPECT_FALSE(fs::exists(rig.target / "book"));
  EXPECT_EQ(ReadAll(rig.target / "abc"), one);  // an empty extension leaves no dot
  EXPECT_EQ(ReadAll(rig.target / "书" / "進.txt"), one);
  EXPECT_EQ(ReadAll(rig.target / "1" / "2" / "3" / "4" / "5" / "6" / "deep.txt"), one);
  EXPECT_EQ(rig.ui.Fake(ProgressKind::Receive)->labels,
            (std::vector<std::string>{"readme.txt", "a.ebk", "abc", "進.txt", "deep.txt"}));
}

TEST(ReceiveFiles, TooManyLevelsEndsBeforeAnyPathByte) {
  ReceiveRig rig;
  const Bytes item = Item({0, 0, 0}, "a", "txt", {"1", "2", "3", "4", "5", "6", "7"}, Data(1));
  EXPECT_EQ(rig.Receive(Cat({item, {0xB2}})), LinkResult::kFailed);
  EXPECT_EQ(rig.reader.GivenCount(), 1u + 3 + 17 + 1);
  EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kReceiveFileError)});
  EXPECT_TRUE(rig.ui.expandedPaths.empty());
}

TEST(ReceiveFiles, WrongChecksumKeepsTheEarlierFiles) {
  ReceiveRig rig;
  EXPECT_EQ(
      rig.Receive(Cat(
          {Item({0, 0, 1}, "first", "txt", {}, Data(2)), Item({0, 0, 1}, "second", "txt", {}, Data(2), 1), {0xB2}})),
      LinkResult::kFailed);
  EXPECT_EQ(ReadAll(rig.target / "first.txt"), Data(2));
  EXPECT_FALSE(fs::exists(rig.target / "second.txt"));
  EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kReceiveFileError)});
}

TEST(ReceiveFiles, FileThatCannotBeCreatedGivesPartialSuccess) {
  ReceiveRig rig;
  fs::create_directories(rig.target / "taken.txt");  // a folder where the file should go
  EXPECT_EQ(rig.Receive(Cat(
                {Item({0, 0, 0}, "taken", "txt", {}, Data(1)), Item({0, 0, 0}, "next", "txt", {}, Data(1)), {0xB2}})),
            LinkResult::kFailed);
  EXPECT_EQ(ReadAll(rig.target / "next.txt"), Data(1));
  ASSERT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kSomeNotCreated)});
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Error);
  EXPECT_EQ(rig.ui.expandedPaths.size(), 1u);
}

TEST(ReceiveFiles, InterruptDuringNameIsSilentDuringDataIsAnError) {
  const Bytes item = Item({0, 0, 9}, "name", "txt", {}, Data(10));
  {
    ReceiveRig rig;  // pumps: 1 lead, 2-4 size, 5-21 name
    rig.ui.onPump = [&](long long n) {
      if (n == 8) rig.ui.Fake(ProgressKind::Receive)->interrupt = true;
    };
    EXPECT_EQ(rig.Receive(Cat({item, {0xB2}})), LinkResult::kInterrupted);
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_FALSE(rig.ui.Fake(ProgressKind::Receive)->visible);
    EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  }
  {
    ReceiveRig rig;  // 22 level count, 23- data
    rig.ui.onPump = [&](long long n) {
      if (n == 25) rig.ui.Fake(ProgressKind::Receive)->interrupt = true;
    };
    EXPECT_EQ(rig.Receive(Cat({item, {0xB2}})), LinkResult::kInterrupted);
    EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kReceiveFileError)});
    EXPECT_FALSE(fs::exists(rig.target / "name.txt"));
  }
}

TEST(ReceiveFiles, LinkAndStreamFailures) {
  {
    ReceiveRig rig;
    rig.reader.SetOff(true);
    EXPECT_EQ(ReceiveFiles(rig.link, 0xB1, rig.target.string()), LinkResult::kFailed);
    EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kLinkError)});  // one box per failure
  }
  {
    ReceiveRig rig;  // the reader falls silent in the middle of an item
    EXPECT_EQ(rig.Receive({0xB3, 0x00}), LinkResult::kFailed);
    EXPECT_EQ(rig.ui.Texts(),
              (std::vector<std::string>{std::string(msg::kReceiveDataError), std::string(msg::kReceiveFileError)}));
  }
  {
    ReceiveRig rig;
    EXPECT_EQ(rig.Receive({0x42}), LinkResult::kFailed);  // neither an item nor the end
    EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kReceiveFileError)});
  }
}

TEST(ReceiveFiles, HostileNamesStayInsideTheTarget) {
  ReceiveRig rig;
  const fs::path outside = rig.dir / "outside";
  fs::create_directories(outside);
  WriteAll(outside / "victim.txt", std::string("keep"));
  fs::create_directories(rig.target);
  fs::create_directory_symlink(outside, rig.target / "link");
  fs::create_symlink(outside / "victim.txt", rig.target / "victim.txt");

  EXPECT_EQ(rig.Receive(Cat({Item({0, 0, 0}, "..", "", {"..", "."}, Data(1)),
                             Item({0, 0, 0}, "../../x", "/", {"", "a/b"}, Data(1)),
                             Item({0, 0, 0}, "new", "txt", {"link"}, Data(1)),
                             Item({0, 0, 0}, "victim", "txt", {}, Data(1)),
                             // a link whose name differs in case only is not taken for the folder
                             Item({0, 0, 0}, "ok", "txt", {"LINK"}, Data(1)),
                             {0xB2}})),
            LinkResult::kFailed);
  EXPECT_EQ(ReadAll(rig.target / "_" / "_" / "_"), Data(1));
  EXPECT_EQ(ReadAll(rig.target / "_" / "a_b" / ".._.._x._"), Data(1));
  EXPECT_EQ(ReadAll(rig.target / "LINK" / "ok.txt"), Data(1));
  // Neither the folder link nor the file link was followed.
  EXPECT_FALSE(fs::exists(outside / "new.txt"));
  EXPECT_EQ(ReadAll(outside / "victim.txt"), Bytes({'k', 'e', 'e', 'p'}));
  EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kSomeNotCreated)});
  // Control characters never reach a local name: ESC, BEL, CR, LF, DEL, C1.
  for (const auto& [gbk, local] :
       std::vector<std::pair<std::string, std::string>>{{std::string("a\0b", 3), "a_b"},
                                                        {"\x1B]0;x\x07\x1B[2J", "_]0;x__[2J"},
                                                        {"a\r\nb\x7F", "a__b_"},
                                                        {"\xD6\xD0\t", "中_"}})
    EXPECT_EQ(ReceivedName(gbk), local) << local;
}

TEST(ReceiveFiles, ALocalFileOfOtherContentIsReplacedOnlyWhenTheUserSaysSo) {
  using RC = ReplaceChoice;
  const struct {
    std::vector<RC> answers;
    std::size_t asked;
    std::vector<bool> replaced;  // a.txt, b.txt, c.txt
  } cases[] = {
      {{RC::Keep, RC::Keep, RC::Keep}, 3, {false, false, false}},
      {{RC::Replace, RC::Keep, RC::Replace}, 3, {true, false, true}},
      {{RC::Keep, RC::ReplaceAll}, 2, {false, true, true}},
      {{RC::Replace, RC::KeepAll}, 2, {true, false, false}},
      {{RC::ReplaceAll}, 1, {true, true, true}},
  };
  for (const auto& c : cases) {
    ReceiveRig rig;
    const Bytes old = {'o', 'l', 'd'}, fresh = {'n', 'e', 'w'};
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteAll(rig.target / name, old);
    WriteAll(rig.target / "same.txt", fresh);
    rig.ui.replaceAnswers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(rig.Receive(Cat({Item({0, 0, 2}, "a", "txt", {}, fresh),
                               Item({0, 0, 2}, "same", "txt", {}, fresh),
                               Item({0, 0, 2}, "b", "txt", {}, fresh),
                               Item({0, 0, 2}, "c", "txt", {}, fresh),
                               {0xB2}})),
              LinkResult::kDone);
    // The question names the file; one with the same content is not asked about.
    ASSERT_EQ(rig.ui.replaceAsked.size(), c.asked);
    EXPECT_EQ(rig.ui.replaceAsked[0], (rig.target / "a.txt").string());
    const char* names[] = {"a.txt", "b.txt", "c.txt"};
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(ReadAll(rig.target / names[i]), c.replaced[static_cast<std::size_t>(i)] ? fresh : old) << names[i];
    EXPECT_EQ(ReadAll(rig.target / "same.txt"), fresh);
    // The report claims all arrived only when none was kept, and names those kept.
    std::string kept;
    int stored = 1;  // same.txt
    for (int i = 0; i < 3; ++i)
      c.replaced[static_cast<std::size_t>(i)] ? void(++stored) : void(kept += "\n" + (rig.target / names[i]).string());
    EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{kept.empty() ? std::string(msg::kAllReceived)
                                                                    : " " + std::to_string(stored) +
                                                                          std::string(msg::kReceivedSomeKeptSuffix)});
    EXPECT_EQ(rig.ui.diagnostics, kept.empty() ? std::vector<std::string>{}
                                               : std::vector<std::string>{std::string(msg::kKeptHeading) + kept});
    // Replacing leaves no work file behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(rig.target), fs::directory_iterator()), 4);
  }
}

TEST(ReceiveTarget, MustBeAbsolute) {
  EXPECT_TRUE(CheckReceiveTarget("/"));
  EXPECT_TRUE(CheckReceiveTarget("/home/user/books"));
  EXPECT_FALSE(CheckReceiveTarget("books"));
  EXPECT_FALSE(CheckReceiveTarget("./books"));
  EXPECT_FALSE(CheckReceiveTarget(""));
}

}  // namespace
}  // namespace quirel::testing
