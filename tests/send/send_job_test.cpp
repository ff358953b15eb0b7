// The whole send list: format question, folders mirrored level by level,
// counts, messages, Word documents, interruption and a lost link.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "resources/messages.h"
#include "tests/send/send_rig.h"

namespace quirel::send::test {
namespace {

std::string Report(int n) { return " " + std::to_string(n) + std::string(msg::kFilesSentSuffix); }

struct JobRig : Rig {
  LinkResult Run(int format) {
    ui.sendFormat = format;
    return job->Run(list);
  }
  void AddFile(const std::string& relative, const std::string& content) {
    WriteFile(Local(relative), content);
    list.AddFile(Local(relative).string());
  }
  std::vector<std::uint8_t> CodesSent() const {
    std::vector<std::uint8_t> codes;
    for (const Command& c : Commands()) codes.push_back(c.code);
    return codes;
  }
  // The folder names of a 0xC4 command, up to each record's first zero.
  static std::vector<std::string> PathNames(const Command& c) {
    std::vector<std::string> names;
    for (std::size_t at = 1; at + 17 <= c.payload.size(); at += 17) {
      std::string name;
      for (std::size_t k = at; k < at + 17 && c.payload[k] != 0; ++k) name += static_cast<char>(c.payload[k]);
      names.push_back(name);
    }
    return names;
  }
  SendList list;
};

TEST(SendJob, EmptyListSendsNothing) {
  JobRig rig;
  EXPECT_EQ(rig.Run(1), LinkResult::kFailed);
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, msg::kNothingToSend);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Information);
  EXPECT_TRUE(rig.ui.askedSendFormat.empty());
  EXPECT_EQ(rig.ui.created[ProgressKind::Send], 0);
}

TEST(SendJob, CancelledFormatQuestionSendsNothing) {
  JobRig rig;
  rig.AddFile("a.txt", "a");
  rig.ui.sendFormat = std::nullopt;
  EXPECT_EQ(rig.job->Run(rig.list), LinkResult::kInterrupted);
  EXPECT_TRUE(rig.reader.Received().empty());
  EXPECT_TRUE(rig.ui.messages.empty());
}

TEST(SendJob, FormatChoiceIsKeptBetweenJobs) {
  JobRig rig;
  rig.AddFile("a.txt", "a");
  EXPECT_EQ(rig.Run(2), LinkResult::kDone);
  rig.ui.sendFormat = std::nullopt;
  (void)rig.job->Run(rig.list);  // only the questions asked matter here
  EXPECT_EQ(rig.ui.askedSendFormat, (std::vector<int>{1, 2}));
  EXPECT_EQ(rig.job->sendFormat, 2);
}

TEST(SendJob, EachJobPlansAfreshAndConvertsSingleFilesToo) {
  JobRig rig;
  WriteFile(rig.Local("Top/a.txt"), "a");
  WriteFile(rig.Local("Top/b.txt"), "b");
  rig.list.AddFolder(rig.Local("Top").string());
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);
  // The second job knows nothing of the first one's files.
  fs::remove(rig.Local("Top/a.txt"));
  rig.AddFile("c.txt", "cd");
  EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kDone);
  EXPECT_EQ(rig.ui.messages.back().text, Report(2));
  // A file chosen on its own is converted like those of a folder.
  EXPECT_EQ(ReadFile(rig.Books() / "c.ebk"), "cd" + std::string(18, ' '));
  EXPECT_EQ(ReadFile(rig.Books() / "top" / "b.ebk"), "b" + std::string(19, ' '));
}

TEST(SendJob, WhatIsNoPlainFileIsNotConverted) {
  // A named pipe would block the conversion for good.
  JobRig rig;
  WriteFile(rig.Local("Top/a.txt"), "a");
  ASSERT_EQ(mkfifo(rig.Local("Top/pipe.txt").c_str(), 0600), 0);
  rig.list.AddFolder(rig.Local("Top").string());
  EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kFailed);
  EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{std::string(msg::kSomeNotSent), Report(1)}));
  EXPECT_EQ(rig.ui.diagnostics.back(), std::string(msg::kNotSentHeading) + "\n" + rig.Local("Top/pipe.txt").string());
}

TEST(SendJob, OneFileBarEndsFullAndReportsOne) {
  JobRig rig;
  rig.AddFile("Books/ReadMe.TXT", "read me");
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);

  const testing::BarState& overall = rig.Progress().bars[Bar::Overall];
  EXPECT_EQ(overall.low, 0);
  EXPECT_EQ(overall.high, 1);
  EXPECT_EQ(overall.steps, 0);
  EXPECT_EQ(overall.pos, 1);  // the job asks for 2; the bar stops at its top
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, Report(1));
  EXPECT_EQ(rig.ui.messages[0].text, " 1个文件传送完成！");
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Information);
  EXPECT_EQ(rig.ui.messages[0].caption, msg::kCaption);

  // A file chosen on its own goes to the top level under its lower-cased name.
  EXPECT_EQ(rig.CodesSent(), (std::vector<std::uint8_t>{0x7E, 0x4E}));
  const auto files = Files(rig.Commands());
  EXPECT_EQ(files[0].depth, 0);
  EXPECT_EQ(files[0].Name(), "readme");
  EXPECT_EQ(files[0].Extension(), "txt");
  EXPECT_EQ(rig.Progress().label, "readme.txt");
  EXPECT_EQ(rig.job->currentName, "readme.txt");
  EXPECT_EQ(ReadFile(rig.Books() / "readme.txt"), "read me");

  // Shown, main window disabled for the run, everything restored at the end.
  EXPECT_EQ(rig.ui.enableLog.front(), (std::pair<Window, bool>{Window::Main, false}));
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  EXPECT_EQ(rig.Progress().shows, 1);
  EXPECT_FALSE(rig.Progress().visible);
}

TEST(SendJob, FolderIsMirroredLevelByLevel) {
  JobRig rig;
  WriteFile(rig.Local("Top/A.txt"), "a");
  WriteFile(rig.Local("Top/Sub/B.txt"), "b");
  WriteFile(rig.Local("Top/Sub/Deeper/c.txt"), "c");
  rig.list.AddFolder(rig.Local("Top").string());
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);

  const auto commands = rig.Commands();
  ASSERT_EQ(rig.CodesSent(), (std::vector<std::uint8_t>{0xC4, 0x7E, 0xC4, 0x7E, 0xC4, 0x7E, 0x4E}));
  // The chosen folder's name reaches the reader lower-cased, the names found
  // below it as they are.
  EXPECT_EQ(JobRig::PathNames(commands[0]), (std::vector<std::string>{"top"}));
  EXPECT_EQ(JobRig::PathNames(commands[2]), (std::vector<std::string>{"top", "Sub"}));
  EXPECT_EQ(JobRig::PathNames(commands[4]), (std::vector<std::string>{"top", "Sub", "Deeper"}));
  const auto files = Files(commands);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files[0].depth, 1);
  EXPECT_EQ(files[0].folders, (std::vector<std::string>{"top"}));
  EXPECT_EQ(files[0].Name(), "A");
  EXPECT_EQ(files[1].folders, (std::vector<std::string>{"top", "Sub"}));
  EXPECT_EQ(files[2].depth, 3);
  EXPECT_EQ(files[2].folders, (std::vector<std::string>{"top", "Sub", "Deeper"}));

  EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{Report(3)}));
  const testing::BarState& overall = rig.Progress().bars[Bar::Overall];
  EXPECT_EQ(overall.high, 3);
  EXPECT_EQ(overall.steps, 3);
  EXPECT_EQ(overall.pos, 3);
  EXPECT_EQ(rig.Progress().labels, (std::vector<std::string>{"/../a.txt", "/../b.txt", "/../c.txt"}));
  EXPECT_EQ(rig.clock.elapsedMs, 150u);  // the pause before each file of a folder

  EXPECT_EQ(ReadFile(rig.Books() / "top" / "A.txt"), "a");
  EXPECT_EQ(ReadFile(rig.Books() / "top" / "Sub" / "B.txt"), "b");
  EXPECT_EQ(ReadFile(rig.Books() / "top" / "Sub" / "Deeper" / "c.txt"), "c");
}

TEST(SendJob, SeventhLevelIsAnnouncedButItsFilesStay) {
  JobRig rig;
  WriteFile(rig.Local("t/1/2/3/4/5/five.txt"), "5");
  WriteFile(rig.Local("t/1/2/3/4/5/6/six.txt"), "6");
  WriteFile(rig.Local("t/1/2/3/4/5/6/7/seven.txt"), "7");  // a seventh level is not even announced
  WriteFile(rig.Local("t/z.txt"), "z");
  rig.list.AddFolder(rig.Local("t").string());
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kFailed);

  const auto commands = rig.Commands();
  std::vector<std::vector<std::string>> paths;
  for (const Command& c : commands)
    if (c.code == 0xC4) paths.push_back(JobRig::PathNames(c));
  ASSERT_EQ(paths.size(), 7u);
  EXPECT_EQ(paths.back(), (std::vector<std::string>{"t", "1", "2", "3", "4", "5", "6"}));

  const auto files = Files(commands);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].depth, 6);  // five.txt, five folders below the chosen one
  EXPECT_EQ(files[0].Name(), "five");
  EXPECT_EQ(files[1].Name(), "z");  // the parents go on
  // The report counts what arrived and names what did not.
  ASSERT_EQ(rig.ui.Texts(),
            (std::vector<std::string>{std::string(msg::kTooDeep), std::string(msg::kTooDeep), Report(2)}));
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Error);
  EXPECT_EQ(rig.ui.diagnostics.back(), std::string(msg::kNotSentHeading) + "\n" +
                                           rig.Local("t/1/2/3/4/5/6/7/seven.txt").string() + "\n" +
                                           rig.Local("t/1/2/3/4/5/6/six.txt").string());
  EXPECT_FALSE(fs::exists(rig.Books() / "t/1/2/3/4/5/6/six.txt"));
  EXPECT_TRUE(fs::exists(rig.Books() / "t/1/2/3/4/5/five.txt"));
}

TEST(SendJob, FailingFileInAFolderLeavesTheRestOfThatFolderOut) {
  JobRig rig;
  WriteFile(rig.Local("Top/a.txt"), "a");
  WriteFile(rig.Local("Top/b😀.txt"), "b");  // no GBK form: cannot be sent
  WriteFile(rig.Local("Top/c.txt"), "c");
  WriteFile(rig.Local("Top/d/e.txt"), "e");
  // A failure in a subfolder leaves out the rest of that folder only.
  WriteFile(rig.Local("Top/0/x😀.txt"), "x");
  WriteFile(rig.Local("Top/0/y.txt"), "y");
  rig.AddFile("z.txt", "z");
  rig.list.AddFolder(rig.Local("Top").string());
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kFailed);

  EXPECT_EQ(rig.job->sendFailed, 1);
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].Name(), "a");
  EXPECT_EQ(files[1].Name(), "z");
  // Only the two that arrived are counted; the failed file and the rest of
  // its folder are named.
  ASSERT_EQ(rig.ui.messages.size(), 2u);
  EXPECT_EQ(rig.ui.messages[0].text, msg::kSomeNotSent);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Error);
  EXPECT_EQ(rig.ui.messages[1].text, Report(2));
  EXPECT_EQ(rig.ui.diagnostics.back(), std::string(msg::kNotSentHeading) + "\n" + rig.Local("Top/0/x😀.txt").string() +
                                           "\n" + rig.Local("Top/0/y.txt").string() + "\n" +
                                           rig.Local("Top/b😀.txt").string() + "\n" + rig.Local("Top/c.txt").string() +
                                           "\n" + rig.Local("Top/d/e.txt").string());
}

TEST(SendJob, NamesThatMeetInOneReaderFolderGoUnderNumberedNames) {
  // The header keeps 14 bytes of a name: both volumes would be 天龙八部第一卷
  // on the reader, the second replacing the first. A numbered name that a
  // file of the job already has is passed over.
  JobRig rig;
  WriteFile(rig.Local("Vol/天龙八部第一卷上册.txt"), "upper");
  WriteFile(rig.Local("Vol/天龙八部第一卷下册.txt"), "lower");
  WriteFile(rig.Local("Vol/天龙八部第一~2.txt"), "tilde");
  // A numbered name still fits the fourteen bytes.
  WriteFile(rig.Local("Vol/abcdefghijklmnop1.txt"), "one");
  WriteFile(rig.Local("Vol/abcdefghijklmnop2.txt"), "two");
  rig.list.AddFolder(rig.Local("Vol").string());
  rig.AddFile("Elsewhere/天龙八部第一卷中册.txt", "middle");  // the top folder: no collision
  int windowsAtWarning = -1;
  rig.ui.onMessage = [&](const testing::ShownMessage& m) {
    if (m.icon == Icon::Warning) windowsAtWarning = rig.ui.created[ProgressKind::Send];
  };
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);

  EXPECT_EQ(ReadFile(rig.Books() / "vol" / "天龙八部第一~2.txt"), "tilde");
  EXPECT_EQ(ReadFile(rig.Books() / "vol" / "天龙八部第一卷.txt"), "upper");
  EXPECT_EQ(ReadFile(rig.Books() / "vol" / "天龙八部第一~3.txt"), "lower");
  EXPECT_EQ(ReadFile(rig.Books() / "天龙八部第一卷.txt"), "middle");
  EXPECT_EQ(ReadFile(rig.Books() / "vol" / "abcdefghijklmn.txt"), "one");
  EXPECT_EQ(ReadFile(rig.Books() / "vol" / "abcdefghijkl~2.txt"), "two");

  // Told before anything is sent, with the name each goes under.
  ASSERT_EQ(rig.ui.messages.size(), 2u);
  EXPECT_EQ(rig.ui.messages[0].text, std::string(msg::kNameCollision) + "\n" +
                                         rig.Local("Vol/abcdefghijklmnop1.txt").string() + " → abcdefghijklmn.txt\n" +
                                         rig.Local("Vol/abcdefghijklmnop2.txt").string() + " → abcdefghijkl~2.txt\n" +
                                         rig.Local("Vol/天龙八部第一卷上册.txt").string() + " → 天龙八部第一卷.txt\n" +
                                         rig.Local("Vol/天龙八部第一卷下册.txt").string() + " → 天龙八部第一~3.txt");
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Warning);
  EXPECT_EQ(rig.ui.messages[0].buttons, Buttons::OkCancel);
  EXPECT_EQ(windowsAtWarning, 0);
  EXPECT_EQ(rig.ui.messages[1].text, Report(6));
  // Cancel at the notice stops the job before anything is sent.
  const std::size_t commands = rig.Commands().size();
  rig.ui.answers.push_back(Answer::Cancel);
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kInterrupted);
  EXPECT_EQ(rig.Commands().size(), commands);
  EXPECT_EQ(rig.ui.messages.size(), 3u);
}

TEST(SendJob, FailingSingleFileLowersTheCount) {
  JobRig rig;
  rig.AddFile("good.txt", "g");
  rig.AddFile("bad😀.txt", "b");
  rig.AddFile("more.txt", "m");
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kFailed);
  EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{std::string(msg::kSomeNotSent), Report(2)}));
  EXPECT_EQ(rig.ui.messages.back().icon, Icon::Warning);  // fewer went than were chosen
  EXPECT_EQ(Files(rig.Commands()).size(), 2u);
  EXPECT_EQ(rig.Progress().bars[Bar::Overall].pos, 2);
}

TEST(SendJob, KeepFormatSendsADocumentUnchanged) {
  JobRig rig;
  rig.word->installed = true;
  const std::string doc(
      "\xD0\xCF\x11\xE0\x00\x01"
      "binary\r\n",
      14);
  rig.AddFile("Report.DOC", doc);
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);
  EXPECT_GE(rig.word->installedAsked, 1);  // only asked
  EXPECT_EQ(rig.word->opened, 0);
  EXPECT_TRUE(rig.word->converted.empty());
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].Name(), "report");
  EXPECT_EQ(files[0].Extension(), "doc");
  EXPECT_EQ(files[0].data, Bytes(doc));
  EXPECT_EQ(ReadFile(rig.Books() / "report.doc"), doc);
}

TEST(SendJob, InterruptEndsTheJobWithoutReport) {
  JobRig rig;
  rig.AddFile("a.txt", std::string(3000, 'a'));
  rig.AddFile("b.txt", "b");
  rig.ui.onPump = [&](long long n) {
    if (n == 2) rig.Progress().interrupt = true;
  };
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kInterrupted);
  EXPECT_EQ(rig.job->userStopped, 1);
  EXPECT_TRUE(rig.ui.messages.empty());
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  EXPECT_FALSE(rig.Progress().visible);
  // The probe and the end burst, and nothing after them.
  EXPECT_EQ(rig.CodesSent(), (std::vector<std::uint8_t>{0x7E, 0x4E}));
  EXPECT_TRUE(rig.Commands()[1].payload.empty());
  EXPECT_FALSE(fs::exists(rig.Books() / "a.txt"));
}

TEST(SendJob, InterruptInsideAFolderEndsTheJob) {
  JobRig rig;
  WriteFile(rig.Local("Top/a.txt"), std::string(3000, 'a'));
  WriteFile(rig.Local("Top/b.txt"), "b");
  rig.AddFile("z.txt", "z");
  rig.list.AddFolder(rig.Local("Top").string());
  rig.ui.onPump = [&](long long n) {
    if (n == 2) rig.Progress().interrupt = true;
  };
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kInterrupted);
  EXPECT_TRUE(rig.ui.messages.empty());
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  EXPECT_EQ(rig.CodesSent(), (std::vector<std::uint8_t>{0xC4, 0x7E, 0x4E}));
}

TEST(SendJob, LostLinkEndsTheJob) {
  JobRig rig;
  rig.AddFile("a.txt", "aaaa");
  rig.AddFile("b.txt", "b");
  rig.AddFile("c.txt", "c");
  // The reader stops answering right after the first file.
  rig.reader.SetSilentAfter(31 + 1 + 21 + 4);
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kFailed);
  EXPECT_EQ(rig.link.linkLost, 1);
  EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{std::string(msg::kLinkError)});
  EXPECT_EQ(Files(rig.Commands()).size(), 1u);
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  EXPECT_FALSE(rig.Progress().visible);
}

TEST(SendJob, ReaderGoneAtTheEndIsWaitedForOnlyOnce) {
  JobRig rig;
  rig.AddFile("a.txt", "aaaa");
  // The reader stops answering once the file is through: the closing link
  // opening times out, and the end burst gives up at its first byte.
  rig.reader.SetSilentAfter(21 + 10 + 1 + 21 + 4);
  const auto sleepsBefore = rig.clock.sleeps;
  rig.Run(kKeepFormat);
  EXPECT_EQ(rig.clock.sleeps - sleepsBefore, 2u * 1001u);
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
}

TEST(SendJob, LinkLostResetAtTheStartOfAJob) {
  JobRig rig;
  rig.AddFile("a.txt", "a");
  rig.link.linkLost = 1;
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);
  EXPECT_EQ(rig.link.linkLost, 0);
}

TEST(SendJob, ListingResumesExactlyInLargeFolders) {
  JobRig rig;
  for (int i = 0; i < 300; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d.txt", i);
    WriteFile(rig.Local(std::string("Big/") + name), "x");
  }
  WriteFile(rig.Local("Big/f150/inner.txt"), "i");  // a folder in the middle
  rig.list.AddFolder(rig.Local("Big").string());
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 301u);
  std::set<std::string> names;
  for (const Announcement& f : files) names.insert(f.Name());
  EXPECT_EQ(names.size(), 301u);  // none twice, none left out
  EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{Report(301)}));
}

TEST(SendJob, LinkedFolderLoopIsNotFollowed) {
  JobRig rig;
  WriteFile(rig.Local("Top/a.txt"), "a");
  fs::create_directory_symlink(rig.Local("Top"), rig.Local("Top/again"));
  EXPECT_EQ(SendJob::CountFiles(rig.Local("Top").string()), 1);
  rig.list.AddFolder(rig.Local("Top").string());
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);
  EXPECT_EQ(Files(rig.Commands()).size(), 1u);
}

TEST(SendJob, RootFolderCannotBeMirrored) {
  JobRig rig;
  // The root has no name to give the reader.
  EXPECT_EQ(rig.job->WalkDirectory(0, "/", "/"), LinkResult::kFailed);
  EXPECT_TRUE(rig.reader.Received().empty());
}

TEST(SendJob, WordDocumentsOfTheListGoThroughOneInstance) {
  JobRig rig;
  rig.word->installed = true;
  rig.AddFile("Docs/Report.doc", "binary document");
  WriteFile(rig.Local("Docs/report.txt"), "the user's own text");
  EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kDone);
  EXPECT_EQ(rig.word->opened, 1);
  EXPECT_EQ(rig.word->closed, 1);
  ASSERT_EQ(rig.word->converted.size(), 1u);
  // The conversion works on a copy away from the user's folder, whose files
  // stay as they were.
  EXPECT_EQ(fs::path(rig.word->converted[0]).parent_path().parent_path(), fs::path(rig.env.systemDir));
  EXPECT_FALSE(fs::exists(rig.word->converted[0]));
  EXPECT_EQ(ReadFile(rig.Local("Docs/report.txt")), "the user's own text");
  EXPECT_EQ(ReadFile(rig.Local("Docs/Report.doc")), "binary document");
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].Name(), "report");
  EXPECT_EQ(files[0].Extension(), "ebk");
  EXPECT_EQ(std::string(files[0].data.begin(), files[0].data.begin() + 9), "word text");
}

TEST(SendJob, WordThatCannotStartEndsTheJob) {
  JobRig rig;
  rig.word->installed = true;
  rig.word->instanceOpens = false;
  rig.AddFile("a.doc", "d");
  rig.AddFile("b.txt", "b");
  EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kFailed);
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, msg::kWordError);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Error);
  EXPECT_TRUE(rig.reader.Received().empty());
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  EXPECT_FALSE(rig.Progress().visible);
}

TEST(SendJob, WithoutWordDocumentsAreConvertedAsText) {
  JobRig rig;
  rig.AddFile("a.doc", "plain words\r\n");
  EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kDone);
  ASSERT_EQ(rig.ui.messages.size(), 2u);
  EXPECT_EQ(rig.ui.messages[0].text, msg::kNoWordConvert);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Information);
  EXPECT_EQ(rig.ui.messages[1].text, Report(1));
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].Extension(), "ebk");
  EXPECT_EQ(std::string(files[0].data.begin(), files[0].data.begin() + 11), "plain words");
}

TEST(SendJob, WordDocumentsInAFolderAreConvertedOneByOne) {
  JobRig rig;
  rig.word->installed = true;
  WriteFile(rig.Local("Top/x.doc"), "d1");
  WriteFile(rig.Local("Top/y.doc"), "d2");
  rig.list.AddFolder(rig.Local("Top").string());
  EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kDone);
  EXPECT_EQ(rig.word->opened, 0);
  EXPECT_EQ(rig.word->converted.size(), 2u);
  EXPECT_EQ(rig.word->installedAsked, 2);
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].Name(), "x");
  EXPECT_EQ(files[1].Extension(), "ebk");
  EXPECT_FALSE(fs::exists(rig.Local("Top/x.txt")));
}

TEST(SendJob, FailedWordConversionInAFolderFailsTheWalk) {
  JobRig rig;
  rig.word->installed = true;
  rig.word->failConversion = true;
  WriteFile(rig.Local("Top/a.doc"), "d");
  WriteFile(rig.Local("Top/b.txt"), "b");
  rig.list.AddFolder(rig.Local("Top").string());
  EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kFailed);
  EXPECT_TRUE(Files(rig.Commands()).empty());
  // Nothing arrived, and the report says so.
  EXPECT_EQ(rig.ui.Texts(), (std::vector<std::string>{std::string(msg::kSomeNotSent), Report(0)}));
}

TEST(SendJob, OneRunOfTheWordProcessorServesTheWholeJob) {
  // A stand-in word processor: it notes every start and saves the same ODT
  // for each document it is given.
  JobRig rig;
  rig.job = std::make_unique<SendJob>(rig.link, rig.ctx, nullptr);
  const fs::path office = rig.tmp.path() / "office";
  const fs::path log = rig.tmp.path() / "starts";
  WriteFile(office, "#!/bin/sh\necho run >> '" + log.string() +
                        "'\nnext=\nfor a in \"$@\"; do\n"
                        "  if [ \"$next\" = out ]; then out=\"$a\"; next=; continue; fi\n"
                        "  if [ \"$next\" = skip ]; then next=; continue; fi\n"
                        "  case \"$a\" in --outdir) next=out ;; --convert-to) next=skip ;; -*) ;;\n"
                        "    *) n=$(basename \"$a\"); cp '" QUIREL_SOURCE_DIR
                        "/tests/fuzz/corpus/odt/book.odt' "
                        "\"$out/${n%.*}.odt\" ;; esac\ndone\n");
  fs::permissions(office, fs::perms::owner_all);
  setenv("QUIREL_SOFFICE", office.c_str(), 1);
  for (int k = 1; k <= 3; ++k) rig.AddFile("r" + std::to_string(k) + ".rtf", "{\\rtf1 x}");
  WriteFile(rig.Local("Top/a.rtf"), "{\\rtf1 y}");
  WriteFile(rig.Local("Top/b.doc"), "binary");
  rig.list.AddFolder(rig.Local("Top").string());
  EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kDone);
  unsetenv("QUIREL_SOFFICE");
  EXPECT_EQ(ReadFile(log), "run\n");
  EXPECT_EQ(rig.ui.messages.back().text, Report(5));
  // Each arrived as the rows of the saved document's text.
  const std::string heading = "\xB5\xDA\xD2\xBB\xD5\xC2";  // 第一章
  for (const fs::path& book : {rig.Books() / "r1.ebk", rig.Books() / "top" / "b.ebk"})
    EXPECT_EQ(ReadFile(book).substr(0, 6), heading) << book;
}

TEST(SendJob, DocxAndOdtAreReadWithoutTheWordProcessor) {
  for (const bool installed : {true, false}) {
    SCOPED_TRACE(installed);
    JobRig rig;
    rig.word->installed = installed;
    rig.AddFile("a.docx", "no archive");
    WriteFile(rig.Local("Top/b.odt"), "no archive");
    rig.list.AddFolder(rig.Local("Top").string());
    EXPECT_EQ(rig.Run(kConvertFormat), LinkResult::kFailed);
    EXPECT_EQ(rig.word->opened, 0);
    EXPECT_TRUE(rig.word->converted.empty());
    // Each refused as a damaged book, and nothing said of the word processor.
    const auto texts = rig.ui.Texts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.ends_with(msg::kBrokenDocumentSuffix); }),
              2);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string(msg::kNoWordConvert)), 0);
  }
}

TEST(SendJob, FileNameStartingWithABlankIsStillAFile) {
  JobRig rig;
  rig.AddFile(" lead.txt", "l");
  EXPECT_EQ(rig.Run(kKeepFormat), LinkResult::kDone);
  const auto files = Files(rig.Commands());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].Name(), " lead");
}

}  // namespace
}  // namespace quirel::send::test
