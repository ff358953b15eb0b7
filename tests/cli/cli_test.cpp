// The quirel program as a user runs it, and its terminal interface.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
    const std::string command = "cd '" + dir.string() + "' && env -u QUIREL_PORT QUIREL_HOME='" +
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
  Outcome run = Quirel("--port virtual:" + Reader() + " probe");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
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
}

TEST(TerminalUi, QuestionsAreAnsweredByOptionTerminalOrNo) {
  Terminal preset("y\n", true);
  preset.ui.SetQuestionAnswer(Answer::No);
  EXPECT_EQ(preset.ui.ShowMessage(msg::kConfirmExit, msg::kCaption, Icon::Question, Buttons::YesNo), Answer::No);

  Terminal piped("y\n", false);  // nobody at a terminal: no
  EXPECT_EQ(piped.ui.ShowMessage(msg::kConfirmExit, msg::kCaption, Icon::Question, Buttons::YesNo), Answer::No);
  EXPECT_EQ(piped.err.str(), std::string(msg::kConfirmExit) + "\n");

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

  EXPECT_EQ(t.ui.AskDuplicate("张三"), 4);  // nobody to ask: cancel
  t.ui.SetDuplicateChoice(3);
  EXPECT_EQ(t.ui.AskDuplicate("张三"), 3);

  Terminal typed("9\n2\n", true);
  EXPECT_EQ(typed.ui.AskDuplicate("张三"), 2);
  EXPECT_NE(typed.err.str().find("张三"), std::string::npos);
  EXPECT_NE(typed.err.str().find("全部替换"), std::string::npos);
  Terminal ended("", true);
  EXPECT_EQ(ended.ui.AskDuplicate("张三"), 4);
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

TEST(TerminalUi, CtrlCWithoutAVisibleProgressWindowEndsTheProgram) {
  Terminal t;
  EXPECT_FALSE(TerminalUi::NoteInterrupt());
  t.ui.NewProgress(ProgressKind::Receive);  // created but hidden
  EXPECT_FALSE(TerminalUi::NoteInterrupt());
}

TEST(TerminalUi, CtrlCPressesTheInterruptButtonOfTheReceiveWindow) {
  Terminal t;
  reader::VirtualReader device{reader::ReaderOptions{}};
  VirtualClock clock;
  Link link(device, clock, t.ui);
  ProgressWindow& window = t.ui.NewProgress(ProgressKind::Receive);
  window.Show();
  ASSERT_TRUE(TerminalUi::NoteInterrupt());
  EXPECT_FALSE(TerminalUi::NoteInterrupt());  // a second one ends the program

  device.Give(0x41);
  EXPECT_EQ(link.ReceiveByte(), 2);
  EXPECT_EQ(device.accesses, 0u);
  EXPECT_FALSE(static_cast<TerminalProgress&>(window).visible());
  EXPECT_FALSE(window.InterruptRequested());  // cleared by whoever acted on it

  // Consumed: the next byte comes through.
  EXPECT_EQ(link.ReceiveByte(), 0);
  EXPECT_EQ(link.receivedByte, 0x41);
}

}  // namespace
}  // namespace quirel::cli
