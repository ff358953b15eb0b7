// Everything a person sees or answers goes through this interface. The GUI
// implements it with Qt, the CLI on the terminal, the tests with a scripted
// fake (tests/support/fake_ui.h). The core never talks to a person directly.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quirel {

enum class Icon { None, Information, Warning, Error, Question };
// OkCancel: a notice the user may stop at (Cancel) before anything happens.
enum class Buttons { Ok, YesNo, OkCancel };
enum class Answer { Ok, Yes, No, Cancel };

// The modeless progress windows. Each kind exists at most once; creating a
// new one destroys the window left by the previous run of that kind.
enum class ProgressKind {
  Send,       // "文件传送": label 1032, file bar 1060, overall bar 1031, "中断传送"
  Clear,      // "清空电子书": label 1079, file bar 1080, overall bar 1031, "中断初始化"
  Receive,    // "接收文件": label 1078, file bar 1077, overall bar 1076, "中断接收"
  Phonebook,  // "电话本数据通信": bar 1076 (Overall), "中断传送"
};

enum class Bar { File, Overall };

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void SetLabel(std::string_view text) = 0;  // the current file's name
  virtual void SetRange(Bar bar, int low, int high) = 0;
  virtual void SetStep(Bar bar, int step) = 0;
  virtual void SetPos(Bar bar, int pos) = 0;
  virtual void StepIt(Bar bar) = 0;  // advance by the step, wrapping like a progress control
  // The interrupt flag that the window's button sets to 1.
  virtual bool InterruptRequested() const = 0;
  virtual void ClearInterrupt() = 0;
};

// Which window a long operation disables while it runs.
enum class Window { Main, Phonebook };

// Answer to the duplicate-name prompt of a phonebook receive, numbered as
// its buttons; kClosed when it was closed without one.
enum class DuplicateChoice : int { kClosed = 0, kReplace = 1, kSkip = 2, kReplaceAll = 3, kCancel = 4 };

// What to do with a received file whose name is taken by a local file of
// other content. The "all" answers hold for the rest of that receive.
enum class ReplaceChoice { Replace, Keep, ReplaceAll, KeepAll };

struct ReceiveOptions {
  unsigned char mode = 0xB3;  // 0xB3 cursor item, 0xB1 everything
  std::string target;         // absolute folder path (UTF-8)
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message box. Texts are UTF-8; a "\n" is a line break.
  virtual Answer ShowMessage(std::string_view text, std::string_view caption, Icon icon,
                             Buttons buttons = Buttons::Ok) = 0;

  // The same box with an explanation under its fixed text: what went wrong
  // and what to do about it. Interfaces that show no more than the text give
  // the explanation as a diagnostic.
  virtual Answer ShowMessageWithDetail(std::string_view text, std::string_view caption, Icon icon,
                                       std::string_view detail) {
    Diagnostic(detail);
    return ShowMessage(text, caption, icon);
  }

  // One diagnostic line for the standard output (or a log in the GUI).
  virtual void Diagnostic(std::string_view line) = 0;

  // Processes at most one pending window message, so that windows repaint
  // and interrupt buttons are honoured during a transfer loop.
  virtual void PumpMessage() = 0;

  virtual void EnableWindow(Window window, bool enabled) = 0;
  virtual void RedrawWindow(Window window) = 0;

  // Destroys the window of that kind left by an earlier run and creates a new
  // one (hidden until Show). The returned window stays valid until the next
  // call with the same kind or the end of the interface.
  virtual ProgressWindow& NewProgress(ProgressKind kind) = 0;
  // The current window of that kind, or nullptr when none was created yet.
  virtual ProgressWindow* Progress(ProgressKind kind) = 0;

  // Small dialogs whose answer an operation needs. std::nullopt = cancelled.
  // Send format: 1 convert, 2 keep. Clear mode: 0 quick, 1 full.
  virtual std::optional<int> AskSendFormat(int current) = 0;
  virtual std::optional<int> AskClearMode() = 0;
  virtual std::optional<ReceiveOptions> AskReceiveOptions() = 0;
  // Duplicate-name prompt of a phonebook receive.
  [[nodiscard]] virtual DuplicateChoice AskDuplicate(std::string_view name) = 0;
  // A received file would replace the local file at path, whose content
  // differs. Closing the question keeps the local file.
  virtual ReplaceChoice AskReplaceFile(std::string_view path) = 0;

  // Expands the local folder tree down to path and selects it (GUI only).
  virtual bool ExpandToPath(std::string_view path) = 0;
};

}  // namespace quirel
