// The user interface on a terminal: message boxes become their text on
// standard error, questions are answered by --yes / --no or typed in, a
// progress window is one redrawn line, and Ctrl-C presses the interrupt
// button of the progress window on screen.
#pragma once

#include <chrono>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/progress_bar.h"
#include "common/ui.h"

namespace quirel::cli {

class TerminalUi;

class TerminalProgress final : public ProgressWindow {
 public:
  TerminalProgress(TerminalUi& ui, ProgressKind kind) : ui_(ui), kind_(kind) {}
  ~TerminalProgress() override;

  void Show() override;
  void Hide() override;
  void SetLabel(std::string_view text) override;
  void SetRange(Bar bar, int low, int high) override;
  void SetStep(Bar bar, int step) override;
  void SetPos(Bar bar, int pos) override;
  void StepIt(Bar bar) override;
  bool InterruptRequested() const override { return interrupt_; }
  void ClearInterrupt() override { interrupt_ = false; }

  bool visible() const { return visible_; }
  // What the interrupt button does: raise the flag and take the window down.
  void PressInterrupt();
  // The line as it is drawn on a terminal of that many columns, without
  // the terminal controls.
  std::string Line(std::size_t columns = 80) const;

 private:
  void Changed();

  TerminalUi& ui_;
  ProgressKind kind_;
  bool visible_ = false;
  bool interrupt_ = false;
  std::string label_;
  BarModel bars_[2];
};

class TerminalUi final : public UserInterface {
 public:
  // inIsTerminal: questions may be asked on in. errIsTerminal: progress
  // lines are drawn on err.
  TerminalUi(std::istream& in, std::ostream& out, std::ostream& err, bool inIsTerminal, bool errIsTerminal);
  ~TerminalUi() override;

  // A file question came with nobody to answer it (no terminal, or its
  // input ended), so the cautious answer was taken.
  bool FileQuestionUnanswered() const { return fileQuestionUnanswered_; }

  // The standard streams of this process.
  static std::unique_ptr<TerminalUi> ForProcess();

  // Ctrl-C: the first one presses the interrupt button of the visible
  // progress window at the next PumpMessage; a second one before that, or
  // one while no progress window is visible, ends the process with status 2.
  static void InstallInterruptHandler();
  // What the handler does; false when the process is to end instead.
  static bool NoteInterrupt();

  // Answers given in advance (command-line options). A preset nullopt
  // answers "cancelled".
  void SetQuestionAnswer(std::optional<Answer> answer) { questionAnswer_ = answer; }
  void SetSendFormat(std::optional<int> format) { sendFormat_.emplace(format); }
  void SetClearMode(std::optional<int> mode) { clearMode_.emplace(mode); }
  void SetReceiveOptions(std::optional<ReceiveOptions> options) { receiveOptions_.emplace(std::move(options)); }
  void SetDuplicateChoice(DuplicateChoice choice) { duplicateChoice_ = choice; }
  // The terminal's width for the progress line; 0 asks the terminal.
  void SetColumns(std::size_t columns) { columns_ = columns; }
  // --overwrite (ReplaceAll) or --no-clobber (KeepAll).
  void SetReplaceChoice(ReplaceChoice choice) { replaceChoice_ = choice; }

  Answer ShowMessage(std::string_view text, std::string_view caption, Icon icon, Buttons buttons) override;
  Answer ShowMessageWithDetail(std::string_view text, std::string_view caption, Icon icon,
                               std::string_view detail) override;
  void Diagnostic(std::string_view line) override;
  void PumpMessage() override;
  void EnableWindow(Window, bool) override {}
  void RedrawWindow(Window) override {}
  ProgressWindow& NewProgress(ProgressKind kind) override;
  ProgressWindow* Progress(ProgressKind kind) override;
  std::optional<int> AskSendFormat(int current) override;
  std::optional<int> AskClearMode() override;
  std::optional<ReceiveOptions> AskReceiveOptions() override;
  // --yes replaces the duplicate, --no keeps the PC's record; without a
  // terminal to ask on, the receive is cancelled with a note.
  DuplicateChoice AskDuplicate(std::string_view name) override;
  ReplaceChoice AskReplaceFile(std::string_view path) override;
  bool ExpandToPath(std::string_view) override { return true; }

 private:
  friend class TerminalProgress;
  void Draw(const TerminalProgress& window, bool force);
  void ClearLine();
  // Reads one line from in; false at the end of input.
  bool ReadLine(std::string& line);

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  bool inIsTerminal_;
  bool fileQuestionUnanswered_ = false;
  bool errIsTerminal_;
  bool lineDrawn_ = false;
  std::size_t columns_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};

  std::optional<Answer> questionAnswer_;
  std::optional<std::optional<int>> sendFormat_;
  std::optional<std::optional<int>> clearMode_;
  std::optional<std::optional<ReceiveOptions>> receiveOptions_;
  std::optional<DuplicateChoice> duplicateChoice_;
  std::optional<ReplaceChoice> replaceChoice_;

  std::map<ProgressKind, std::unique_ptr<TerminalProgress>> windows_;
};

}  // namespace quirel::cli
