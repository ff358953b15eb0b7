// The quirel program as a user runs it, and its terminal interface.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "cli/terminal_ui.h"
#include "link/link.h"
#include "reader/virtual_reader.h"
#include "resources/messages.h"

namespace quirel::cli {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

class QuirelProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir = fs::temp_directory_path() / ("quirel-cli-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs quirel with the words given (already quoted where needed) and
  // stdin from /dev/null; home and system directory inside the test folder.
  Outcome Quirel(const std::string& words, const std::string& environment = "") {
    const std::string command = "cd '" + dir.string() + "' && env -u QUIREL_PORT LC_ALL=C QUIREL_HOME='" +
                                (dir / "home").string() + "' QUIREL_SYSTEM_DIR='" + (dir / "system").string() + "' " +
                                environment + " '" QUIREL_BINARY_DIR "/cli/quirel' " + words +
                                " >out.txt 2>err.txt </dev/null";
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Slurp(dir / "out.txt");
    run.err = Slurp(dir / "err.txt");
    return run;
  }
  static std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Reader() const { return (dir / "reader").string(); }

  fs::path dir;
};

TEST_F(QuirelProgram, ProbeAgainstASwitchedOffReaderFailsWithTheLinkError) {
  const Outcome run = Quirel("--port virtual:" + Reader() + ",off probe");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, std::string(msg::kLinkError) + "\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(QuirelProgram, ProbeAgainstTheVirtualReaderSucceeds) {
  Outcome run = Quirel("--port virtual:" + Reader() + ",strict probe");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");  // no handshake broken either
  // Options after the command, the environment's choice, another base.
  run = Quirel("probe --port=virtual:" + Reader() + ",base=0x3BC");
  EXPECT_EQ(run.status, 0) << run.err;
  run = Quirel("probe", "QUIREL_PORT=virtual:" + Reader() + ",base=0x278");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_directory(dir / "reader" / "books"));
}

TEST_F(QuirelProgram, AReaderThatFallsSilentRunsOutItsBudgetInVirtualTime) {
  const Outcome run = Quirel("--port virtual:" + Reader() + ",silent-after=5 probe");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, std::string(msg::kLinkError) + "\n");
}

TEST_F(QuirelProgram, VirtualReaderStorageDefaultsToTheProgramDirectory) {
  const Outcome run = Quirel("--port virtual probe");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_directory(dir / "home" / "virtual-reader" / "books"));
}

TEST_F(QuirelProgram, ReceiveReplacesALocalFileOfOtherContentOnlyWhenTold) {
  const struct {
    const char* option;
    const char* content;
    int status;  // a question nobody could answer is no success
  } cases[] = {{"", "old", 2}, {"--no-clobber", "old", 0}, {"--overwrite", "new", 0}};
  for (const auto& c : cases) {
    fs::create_directories(dir / "reader" / "books");
    std::ofstream(dir / "reader" / "books" / "a.txt", std::ios::binary) << "new";
    std::ofstream(dir / "reader" / "books" / "b.txt", std::ios::binary) << "b";
    fs::create_directories(dir / "target");
    std::ofstream(dir / "target" / "a.txt", std::ios::binary) << "old";
    const Outcome run = Quirel("--port virtual:" + Reader() + " receive --all " + c.option + " target");
    EXPECT_EQ(run.status, c.status) << c.option << run.err;
    EXPECT_EQ(Slurp(dir / "target" / "a.txt"), c.content) << c.option;
    // Only a receive that kept nothing claims that all arrived; the other
    // names the file kept.
    const bool kept = std::string(c.content) == "old";
    const std::string report = kept ? std::string(msg::kKeptHeading) + "\n" + (dir / "target" / "a.txt").string()
                                    : std::string(msg::kAllReceived);
    EXPECT_NE(run.err.find(report), std::string::npos) << c.option << run.err;
    EXPECT_EQ(run.err.find(msg::kAllReceived) != std::string::npos, !kept) << c.option << run.err;
  }
  EXPECT_EQ(Quirel("receive --overwrite --no-clobber target").status, 64);
}

TEST_F(QuirelProgram, AFolderThatCannotBeReadIsNamedAmongTheFilesNotSent) {
  fs::create_directories(dir / "docs" / "locked");
  std::ofstream(dir / "docs" / "ok.txt") << "ok";
  std::ofstream(dir / "docs" / "locked" / "secret.txt") << "secret";
  // Folders hold back only someone other than their owner's superuser.
  const std::string asUser = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
  fs::permissions(dir, fs::perms::all, fs::perm_options::add);
  fs::permissions(dir / "docs" / "locked", fs::perms::none);
  const struct {
    const char* path;
    int sent;
  } cases[] = {{"docs", 1}, {"docs/locked", 0}};
  for (const auto& c : cases) {
    const Outcome run = Quirel("--port virtual:" + Reader() + " send " + c.path, asUser);
    EXPECT_EQ(run.status, 1) << c.path << run.err;
    EXPECT_NE(run.err.find(" " + std::to_string(c.sent) + std::string(msg::kFilesSentSuffix)), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(std::string(msg::kNotSentHeading)), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("locked\n"), std::string::npos) << run.err;
  }
  fs::permissions(dir / "docs" / "locked", fs::perms::owner_all);
}

TEST_F(QuirelProgram, ConvertRefusesAFileThatIsNoTextAndTakesUtf16) {
  std::ofstream(dir / "book.txt", std::ios::binary) << std::string("PK\x03\x04\x14\x00\x00\x00\x08\x00\x01\x02", 12);
  const Outcome refused = Quirel("convert book.txt out.ebk");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("book.txt" + std::string(msg::kNotTextSuffix)), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(dir / "out.ebk"));
  // "ab" in UTF-16LE without a byte-order mark: one row of 20 bytes.
  std::ofstream(dir / "utf16.txt", std::ios::binary) << std::string("a\0b\0", 4);
  const Outcome converted = Quirel("convert utf16.txt out.ebk");
  EXPECT_EQ(converted.status, 0) << converted.err;
  EXPECT_EQ(Slurp(dir / "out.ebk"), "ab" + std::string(18, ' '));
}

// Written over, the input would be lost: no name of it is taken as OUTPUT.
TEST_F(QuirelProgram, ConvertNeverWritesOverItsInput) {
  std::ofstream(dir / "book.txt", std::ios::binary) << "AB\r\n";
  fs::create_symlink("book.txt", dir / "link.txt");
  fs::create_hard_link(dir / "book.txt", dir / "hard.txt");
  fs::create_directories(dir / "sub");
  for (const auto& [input, output] : {std::pair{"book.txt", "book.txt"},
                                      {"book.txt", "sub/../book.txt"},
                                      {"link.txt", "book.txt"},
                                      {"book.txt", "hard.txt"}}) {
    SCOPED_TRACE(output);
    const Outcome run = Quirel(std::string("convert ") + input + " " + output);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(std::string(output) + " is " + input + " itself"), std::string::npos) << run.err;
    EXPECT_EQ(Slurp(dir / "book.txt"), "AB\r\n");
  }
}

TEST_F(QuirelProgram, BadUsageExits64WithAMessage) {
  for (const char* words : {"", "frobnicate", "--bogus probe", "--port", "--port nonsense probe",
                            "--port virtual,loud probe", "--yes --no probe", "probe extra"}) {
    const Outcome run = Quirel(words);
    EXPECT_EQ(run.status, 64) << words;
    EXPECT_FALSE(run.err.empty()) << words;
  }
}

TEST_F(QuirelProgram, HelpListsTheCommandsAndEveryGlobalOption) {
  Outcome run = Quirel("--help");
  EXPECT_EQ(run.status, 0);
  for (const char* text : {"probe", "--port", "--home", "--system-dir", "--yes", "--no", "QUIREL_PORT", "QUIREL_HOME",
                           "QUIREL_SYSTEM_DIR", "bridge:tcp:"})
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
  run = Quirel("probe --help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("quirel [OPTIONS] probe"), std::string::npos);
}

// The command line's own texts follow the user's language, even one without
// a locale here; the reader's fixed messages stay byte for byte.
TEST_F(QuirelProgram, HelpSpeaksTheUsersLanguageAndTheReadersMessagesStayAsTheyAre) {
  using Case = std::pair<const char*, const char*>;  // environment, help heading
  for (const auto& [environment, heading] :
       {Case{"LANGUAGE=zh_CN", "\nCommands:\n"}, Case{"LC_ALL= LANG=C.UTF-8 LANGUAGE=zh_CN", "\n命令：\n"},
        Case{"LC_ALL= LANGUAGE= LANG=zh_CN.UTF-8", "\n命令：\n"}, Case{"LC_ALL= LANGUAGE= LANG=zh", "\n命令：\n"}}) {
    EXPECT_NE(Quirel("--help", environment).out.find(heading), std::string::npos) << environment;
    const Outcome probe = Quirel("--port virtual:" + Reader() + ",off probe", environment);
    EXPECT_EQ(probe.err, std::string(msg::kLinkError) + "\n") << environment;
  }
}

// No translated help line is wider than 80 columns, two a Chinese character.
TEST_F(QuirelProgram, TranslatedHelpFitsEightyColumns) {
  for (const char* command :
       {"", "adapter", "check", "clear", "convert", "mkdir", "phonebook", "probe", "reader", "receive", "send"}) {
    std::istringstream help(Quirel(std::string(command) + " --help", "LC_ALL= LANG=C.UTF-8 LANGUAGE=zh_CN").out);
    for (std::string line; std::getline(help, line);) {
      std::size_t columns = 0;
      for (const unsigned char byte : line) columns += byte < 0x80 ? 1 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
      EXPECT_LE(columns, 80u) << command << ": " << line;
    }
  }
}

// What a user meets at the rough edges: each row runs its set-up commands
// (which must succeed), then the command, in a fresh folder. "virtual:R"
// in the words stands for the virtual reader's folder, "{system}" in the
// expected texts for the system directory.
TEST_F(QuirelProgram, RoughEdgesSayWhatHappened) {
  const std::string font1(msg::kFont1OpenFailed);
  const std::string noWord(msg::kNoWordConvert);
  const struct Row {
    const char* what;
    std::vector<std::string> setUp;
    std::string words, environment;
    int status;
    std::vector<std::string> inErr, inOut;
    bool systemFiles = true, bookKept = true;
  } rows[] = {
      {"clear asks, and nobody at a terminal means no",
       {},
       "--port virtual:R clear",
       "",
       2,
       {"delete every e-book file", "no terminal to answer on"},
       {}},
      {"clear --yes clears",
       {},
       "--yes --port virtual:R clear",
       "",
       0,
       {std::string(msg::kQuickClearDone)},
       {},
       true,
       false},
      {"a missing system file is named with its folder",
       {},
       "--yes --port virtual:R clear",
       "",
       1,
       {font1, "chnstd1j40.bin is missing from {system} "},
       {},
       false},
      {"a bad QUIREL_PORT leaves the commands without a port alone",
       {"phonebook add --name 张三"},
       "phonebook list",
       "QUIREL_PORT=nonsense",
       0,
       {},
       {"张三"}},
      {"a bad QUIREL_PORT says where it came from",
       {},
       "probe",
       "QUIREL_PORT=nonsense",
       64,
       {"QUIREL_PORT=nonsense"},
       {}},
      {"the reader command needs the virtual reader",
       {},
       "--port ppdev:/dev/parport9 reader ls",
       "",
       1,
       {"not the virtual reader"},
       {}},
      {"an empty virtual reader says so", {}, "--port virtual:R/empty reader ls", "", 0, {"holds no files"}, {}},
      {"probe names the port", {}, "--port virtual:R probe", "", 0, {}, {"0x378"}},
      {"convert to an unwritable place",
       {},
       "convert book.txt missing/out.ebk",
       "",
       1,
       {"cannot write missing/out.ebk: No such file or directory"},
       {}},
      {"convert to standard output", {}, "convert book.txt -", "", 0, {}, {"AB"}},
      {"a word-processor document without LibreOffice",
       {},
       "convert letter.doc out.ebk",
       "QUIREL_SOFFICE=/nonexistent/soffice",
       1,
       {noWord, "LibreOffice was not found"},
       {}},
      {"duplicates on a receive without a terminal",
       {"phonebook add --name 张三 --mobile 111", "--port virtual:R phonebook send",
        "--yes phonebook edit 张三 --mobile 222"},
       "--port virtual:R phonebook receive",
       "",
       2,
       {"张三", "no terminal to answer on: nothing is changed"},
       {}},
      {"--yes replaces the duplicates",
       {"phonebook add --name 张三 --mobile 111", "--port virtual:R phonebook send",
        "--yes phonebook edit 张三 --mobile 222", "--yes --port virtual:R phonebook receive"},
       "phonebook show 张三",
       "",
       0,
       {},
       {"111"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TearDown();
    SetUp();
    fs::create_directories(dir / "system");
    if (row.systemFiles)
      for (const char* name : {"chnstd1j40.bin", "chnstd1f40.bin", "ebbmp40.bin"})
        std::ofstream(dir / "system" / name, std::ios::binary) << std::string(100, '\x01');
    fs::create_directories(dir / "reader" / "books");
    std::ofstream(dir / "reader" / "books" / "a.ebk", std::ios::binary) << "A";
    std::ofstream(dir / "book.txt", std::ios::binary) << "AB\r\n";
    std::ofstream(dir / "letter.doc", std::ios::binary) << "\xD0\xCF\x11\xE0";
    auto words = [&](std::string text) {
      for (std::size_t at; (at = text.find("virtual:R")) != std::string::npos;)
        text.replace(at, 9, "virtual:" + Reader());
      return text;
    };
    for (const std::string& step : row.setUp) ASSERT_EQ(Quirel(words(step)).status, 0) << step;
    const Outcome run = Quirel(words(row.words), row.environment);
    EXPECT_EQ(run.status, row.status) << run.err;
    for (std::string text : row.inErr) {
      if (const auto at = text.find("{system}"); at != std::string::npos)
        text.replace(at, 8, (dir / "system").string());
      EXPECT_NE(run.err.find(text), std::string::npos) << text << "\n" << run.err;
    }
    for (const std::string& text : row.inOut)
      EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
    EXPECT_EQ(fs::exists(dir / "reader" / "books" / "a.ebk"), row.bookKept);
  }
}

// ---------------------------------------------------------------- terminal

struct Terminal {
  explicit Terminal(const std::string& input = "", bool inTty = false, bool errTty = false)
      : in(input), ui(in, out, err, inTty, errTty) {}
  std::istringstream in;
  std::ostringstream out, err;
  TerminalUi ui;
};

TEST(TerminalUi, MessageBoxesAreTheirExactTextOnStandardError) {
  Terminal t;
  EXPECT_EQ(t.ui.ShowMessage(msg::kLinkError, msg::kCaption, Icon::Error, Buttons::Ok), Answer::Ok);
  t.ui.ShowMessage(msg::kAllReceived, msg::kCaption, Icon::Information, Buttons::Ok);
  EXPECT_EQ(t.err.str(), std::string(msg::kLinkError) + "\n" + std::string(msg::kAllReceived) + "\n");
  t.ui.Diagnostic(msg::kDiagTransport14);
  EXPECT_EQ(t.out.str(), std::string(msg::kDiagTransport14) + "\n");
  // A name that would drive the terminal shows its control characters
  // escaped; a message keeps its line breaks, a name in a question does not.
  Terminal named;
  named.ui.ShowMessage("a\n\x1B[2J\x07\r\xC2\x9B", msg::kCaption, Icon::Information, Buttons::Ok);
  EXPECT_EQ(named.err.str(), "a\n\\x1B[2J\\x07\\x0D\\x9B\n");
  Terminal asked("", false);
  (void)asked.ui.AskReplaceFile("/t/a\nb\x1B]0;x\x07");
  EXPECT_EQ(asked.err.str().substr(0, asked.err.str().find('\n', 1)),
            std::string(msg::kReplaceFileQuestion) + " /t/a\\x0Ab\\x1B]0;x\\x07");
}

TEST(TerminalUi, QuestionsAreAnsweredByOptionTerminalOrNo) {
  Terminal preset("y\n", true);
  preset.ui.SetQuestionAnswer(Answer::No);
  EXPECT_EQ(preset.ui.ShowMessage(msg::kConfirmExit, msg::kCaption, Icon::Question, Buttons::YesNo), Answer::No);

  Terminal piped("y\n", false);  // nobody at a terminal: no
  EXPECT_EQ(piped.ui.ShowMessage(msg::kConfirmExit, msg::kCaption, Icon::Question, Buttons::YesNo), Answer::No);
  EXPECT_EQ(piped.err.str(),
            std::string(msg::kConfirmExit) + "\nquirel: no terminal to answer on: taken as no (--yes answers yes)\n");

  Terminal typed("maybe\n是\n", true);
  EXPECT_EQ(typed.ui.ShowMessage(msg::kConfirmExit, msg::kCaption, Icon::Question, Buttons::YesNo), Answer::Yes);
  EXPECT_EQ(typed.err.str(), std::string(msg::kConfirmExit) + "\n[y/n] [y/n] ");

  Terminal ended("", true);
  EXPECT_EQ(ended.ui.ShowMessage(msg::kConfirmExit, msg::kCaption, Icon::Question, Buttons::YesNo), Answer::No);
}

TEST(TerminalUi, DialogAnswersComeFromTheCommandOrAreSafeDefaults) {
  Terminal t;
  EXPECT_EQ(t.ui.AskSendFormat(2), 2);
  t.ui.SetSendFormat(1);
  EXPECT_EQ(t.ui.AskSendFormat(2), 1);
  t.ui.SetSendFormat(std::nullopt);
  EXPECT_EQ(t.ui.AskSendFormat(2), std::nullopt);

  EXPECT_EQ(t.ui.AskClearMode(), std::nullopt);
  t.ui.SetClearMode(1);
  EXPECT_EQ(t.ui.AskClearMode(), 1);

  EXPECT_FALSE(t.ui.AskReceiveOptions().has_value());
  t.ui.SetReceiveOptions(ReceiveOptions{0xB1, "/tmp/x"});
  ASSERT_TRUE(t.ui.AskReceiveOptions().has_value());
  EXPECT_EQ(t.ui.AskReceiveOptions()->mode, 0xB1);

  EXPECT_EQ(t.ui.AskDuplicate("张三"), DuplicateChoice::kCancel);  // nobody to ask: cancel
  t.ui.SetQuestionAnswer(Answer::Yes);
  EXPECT_EQ(t.ui.AskDuplicate("张三"), DuplicateChoice::kReplace);  // replace
  t.ui.SetQuestionAnswer(Answer::No);
  EXPECT_EQ(t.ui.AskDuplicate("张三"), DuplicateChoice::kSkip);  // skip
  t.ui.SetDuplicateChoice(DuplicateChoice::kReplaceAll);
  EXPECT_EQ(t.ui.AskDuplicate("张三"), DuplicateChoice::kReplaceAll);

  Terminal typed("9\n2\n", true);
  EXPECT_EQ(typed.ui.AskDuplicate("张三"), DuplicateChoice::kSkip);
  EXPECT_NE(typed.err.str().find("张三"), std::string::npos);
  EXPECT_NE(typed.err.str().find("全部替换"), std::string::npos);
  Terminal ended("", true);
  EXPECT_EQ(ended.ui.AskDuplicate("张三"), DuplicateChoice::kCancel);
}

TEST(TerminalUi, ProgressLineOnlyOnATerminal) {
  Terminal quiet;
  ProgressWindow& w = quiet.ui.NewProgress(ProgressKind::Receive);
  w.Show();
  w.SetRange(Bar::Overall, 0, 10);
  w.SetPos(Bar::Overall, 5);
  w.Hide();
  EXPECT_EQ(quiet.err.str(), "");

  Terminal tty("", false, true);
  ProgressWindow& p = tty.ui.NewProgress(ProgressKind::Receive);
  p.SetRange(Bar::Overall, 0, 10);
  p.SetPos(Bar::Overall, 5);
  p.SetLabel("a.ebk");
  p.Show();
  const std::string drawn = tty.err.str();
  EXPECT_NE(drawn.find(msg::kReceiveDialogTitle), std::string::npos);
  EXPECT_NE(drawn.find("a.ebk"), std::string::npos);
  EXPECT_NE(drawn.find("50%"), std::string::npos);
  // A message box takes the line away before it is printed.
  tty.ui.ShowMessage(msg::kAllReceived, msg::kCaption, Icon::Information, Buttons::Ok);
  EXPECT_EQ(tty.err.str(), drawn + "\r\x1b[K" + std::string(msg::kAllReceived) + "\n");
}

TEST(TerminalUi, ProgressBarsWrapLikeAProgressControl) {
  Terminal t;
  auto& w = static_cast<TerminalProgress&>(t.ui.NewProgress(ProgressKind::Send));
  w.SetRange(Bar::Overall, 0, 100);
  w.SetStep(Bar::Overall, 40);
  w.StepIt(Bar::Overall);
  w.StepIt(Bar::Overall);
  EXPECT_NE(w.Line().find(" 80%"), std::string::npos) << w.Line();
  w.StepIt(Bar::Overall);  // 120 passes the top: 20
  EXPECT_NE(w.Line().find(" 20%"), std::string::npos) << w.Line();
}

TEST(TerminalUi, TheProgressLineFitsTheTerminalWithOneFigurePerBar) {
  // Every character of these texts above ASCII is a Chinese one: two columns.
  auto columnsOf = [](const std::string& text) {
    std::size_t columns = 0;
    for (unsigned char c : text) columns += c < 0x80 ? 1 : (c & 0xC0) == 0xC0 ? 2 : 0;
    return columns;
  };
  const struct {
    ProgressKind kind;
    std::size_t columns;
    std::vector<std::string> figures;  // all of them, when there is room
  } rows[] = {
      {ProgressKind::Send, 200, {"file 30%", "total 25%"}},
      {ProgressKind::Send, 80, {"file 30%", "total 25%"}},
      {ProgressKind::Receive, 50, {"file 30%", "total 25%"}},
      {ProgressKind::Clear, 20, {}},
      {ProgressKind::Phonebook, 40, {"25%"}},
      {ProgressKind::Send, 1, {}},
  };
  const std::string label = "很长的文件夹名/很长的文件名很长的文件名很长\n的文件名.txt";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.columns);
    Terminal t;
    auto& w = static_cast<TerminalProgress&>(t.ui.NewProgress(row.kind));
    w.SetRange(Bar::Overall, 0, 4);
    w.SetPos(Bar::Overall, 1);
    w.SetRange(Bar::File, 0, 10);
    w.SetPos(Bar::File, 3);
    w.SetLabel(label);
    const std::string line = w.Line(row.columns);
    EXPECT_LT(columnsOf(line), std::max<std::size_t>(row.columns, 1)) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    if (row.figures.empty()) continue;
    EXPECT_EQ(static_cast<std::size_t>(std::count(line.begin(), line.end(), '%')), row.figures.size()) << line;
    for (const std::string& figure : row.figures) EXPECT_NE(line.find(figure), std::string::npos) << line;
    // The whole name when there is room, else its end, which tells files apart.
    for (const char* part :
         {row.columns >= 200 ? "很长的文件夹名/很长的文件名很长的文件名很长?的文件名.txt" : "...", "名.txt"})
      EXPECT_NE(line.find(part), std::string::npos) << line;
  }
}

TEST(TerminalUi, CtrlCWithoutAVisibleProgressWindowEndsTheProgram) {
  Terminal t;
  EXPECT_FALSE(TerminalUi::NoteInterrupt());
  t.ui.NewProgress(ProgressKind::Receive);  // created but hidden
  EXPECT_FALSE(TerminalUi::NoteInterrupt());
}

TEST(TerminalUi, CtrlCPressesTheInterruptButtonOfTheReceiveWindow) {
  Terminal t;
  reader::ReaderOptions strict;
  strict.strict = true;
  reader::VirtualReader device{strict};
  VirtualClock clock;
  Link link(device, clock, t.ui);
  ProgressWindow& window = t.ui.NewProgress(ProgressKind::Receive);
  window.Show();
  ASSERT_TRUE(TerminalUi::NoteInterrupt());
  EXPECT_FALSE(TerminalUi::NoteInterrupt());  // a second one ends the program

  device.Give(0x41);
  EXPECT_EQ(link.ReceiveByte(), LinkResult::kInterrupted);
  EXPECT_EQ(device.accesses, 0u);
  EXPECT_FALSE(static_cast<TerminalProgress&>(window).visible());
  EXPECT_FALSE(window.InterruptRequested());  // cleared by whoever acted on it

  // Consumed: the next byte comes through.
  EXPECT_EQ(link.ReceiveByte(), LinkResult::kDone);
  EXPECT_EQ(link.receivedByte, 0x41);
  EXPECT_EQ(device.Violations(), 0u) << device.ViolationReport();
}

}  // namespace
}  // namespace quirel::cli
