#include "cli/terminal_ui.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <sys/ioctl.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <unistd.h>

#include "cli/command.h"
#include "common/translate.h"
#include "resources/messages.h"

namespace quirel::cli {

namespace {

// Shared with the signal handler, hence plain lock-free atomics.
std::atomic<int> pendingInterrupts{0};
std::atomic<int> visibleWindows{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnInterrupt(int) {
  if (!TerminalUi::NoteInterrupt()) {
    const char newline = '\n';
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, &newline, 1);
    ::_exit(kExitInterrupted);
  }
}

// Text as it may reach the terminal. Control characters (ESC, BEL, CR and
// the C1 controls) in a file name would drive it, so they are shown as \xNN;
// the line breaks of a message stay unless the text is a single name.
std::string Shown(std::string_view text, bool keepLineBreaks = true) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned code = static_cast<unsigned char>(text[i]);
    const bool c1 = code == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
    if (c1) code = static_cast<unsigned char>(text[++i]);
    if (c1 || code == 0x7F || (code < 0x20 && code != '\t' && !(keepLineBreaks && code == '\n'))) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out.push_back(kHex[code >> 4]);
      out.push_back(kHex[code & 0xF]);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string_view Title(ProgressKind kind) {
  switch (kind) {
    case ProgressKind::Send:
      return msg::kSendProgressTitle;
    case ProgressKind::Clear:
      return msg::kClearProgressTitle;
    case ProgressKind::Receive:
      return msg::kReceiveDialogTitle;
    case ProgressKind::Phonebook:
      return msg::kExchangeTitle;
  }
  return {};
}

// Columns one character takes on a terminal: Chinese characters take two.
std::size_t CharColumns(UChar32 c) {
  if (c < 0) return 1;  // a stray byte shows as one replacement mark
  const auto width = static_cast<UEastAsianWidth>(u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH));
  return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

// The byte offsets at which the characters of a UTF-8 text start, then the
// text's end; columns receives the width of each character.
std::vector<std::size_t> CharStarts(std::string_view text, std::vector<std::size_t>& columns) {
  std::vector<std::size_t> starts;
  const auto length = static_cast<std::int32_t>(text.size());
  for (std::int32_t i = 0; i < length;) {
    starts.push_back(static_cast<std::size_t>(i));
    UChar32 c = 0;
    // ICU's macro narrows its trail bytes inside itself; the narrowing is its own.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
    U8_NEXT(text.data(), i, length, c);
#pragma GCC diagnostic pop
    columns.push_back(CharColumns(c));
  }
  starts.push_back(text.size());
  return starts;
}

std::size_t Columns(std::string_view text) {
  std::vector<std::size_t> columns;
  CharStarts(text, columns);
  std::size_t sum = 0;
  for (std::size_t c : columns) sum += c;
  return sum;
}

// The longest beginning of text that fits in limit columns.
std::string Head(std::string_view text, std::size_t limit) {
  std::vector<std::size_t> columns;
  const std::vector<std::size_t> starts = CharStarts(text, columns);
  std::size_t used = 0, count = 0;
  while (count < columns.size() && used + columns[count] <= limit) used += columns[count++];
  return std::string(text.substr(0, starts[count]));
}

// The end of text in at most limit columns, "..." in front when cut.
std::string Tail(std::string_view text, std::size_t limit) {
  if (Columns(text) <= limit) return std::string(text);
  if (limit < 3) return {};
  std::vector<std::size_t> columns;
  const std::vector<std::size_t> starts = CharStarts(text, columns);
  std::size_t used = 3, first = columns.size();
  while (first > 0 && used + columns[first - 1] <= limit) used += columns[--first];
  return "..." + std::string(text.substr(starts[first]));
}

// The width of the terminal on standard error, 80 when it cannot be told.
std::size_t TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

// ---------------------------------------------------------------- progress

TerminalProgress::~TerminalProgress() {
  if (visible_) visibleWindows.fetch_sub(1);
}

void TerminalProgress::Show() {
  if (!visible_) visibleWindows.fetch_add(1);
  visible_ = true;
  ui_.Draw(*this, true);
}

void TerminalProgress::Hide() {
  if (visible_) {
    visibleWindows.fetch_sub(1);
    visible_ = false;
    ui_.ClearLine();
  }
}

void TerminalProgress::PressInterrupt() {
  interrupt_ = true;
  Hide();
}

void TerminalProgress::SetLabel(std::string_view text) {
  // A control character in a file name would break the one-line display.
  label_ = std::string(text);
  for (char& c : label_)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  Changed();
}

void TerminalProgress::SetRange(Bar bar, int low, int high) {
  bars_[static_cast<int>(bar)].SetRange(low, high);
  Changed();
}

void TerminalProgress::SetStep(Bar bar, int step) { bars_[static_cast<int>(bar)].step = step; }

void TerminalProgress::SetPos(Bar bar, int pos) {
  bars_[static_cast<int>(bar)].SetPos(pos);
  Changed();
}

void TerminalProgress::StepIt(Bar bar) {
  bars_[static_cast<int>(bar)].StepIt();
  Changed();
}

void TerminalProgress::Changed() {
  if (visible_) ui_.Draw(*this, false);
}

std::string TerminalProgress::Line(std::size_t columns) const {
  const auto& overall = bars_[static_cast<int>(Bar::Overall)];
  const auto& file = bars_[static_cast<int>(Bar::File)];
  const std::string total = std::to_string(overall.Percent()) + "%";
  // One figure per bar; the phonebook window has only the overall one.
  const std::string figures = kind_ == ProgressKind::Phonebook
                                  ? "  " + total
                                  : "  " + Tr("file %s  total %s", {std::to_string(file.Percent()) + "%", total});
  const std::string title(Title(kind_));
  // The last column stays free: a line that fills it wraps on some terminals.
  const std::size_t room = columns > 1 ? columns - 1 : 0;
  const std::size_t fixed = Columns(title) + Columns(figures);
  if (label_.empty() || fixed + 1 + 3 > room) return Head(title + figures, room);
  return title + " " + Tail(label_, room - fixed - 1) + figures;
}

// ---------------------------------------------------------------- interface

TerminalUi::TerminalUi(std::istream& in, std::ostream& out, std::ostream& err, bool inIsTerminal, bool errIsTerminal)
    : in_(in), out_(out), err_(err), inIsTerminal_(inIsTerminal), errIsTerminal_(errIsTerminal) {}

TerminalUi::~TerminalUi() {
  windows_.clear();
  ClearLine();
}

std::unique_ptr<TerminalUi> TerminalUi::ForProcess() {
  return std::make_unique<TerminalUi>(std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) == 1,
                                      ::isatty(STDERR_FILENO) == 1);
}

void TerminalUi::InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
}

bool TerminalUi::NoteInterrupt() {
  if (visibleWindows.load() <= 0) return false;
  int expected = 0;
  return pendingInterrupts.compare_exchange_strong(expected, 1);
}

void TerminalUi::ClearLine() {
  if (!lineDrawn_) return;
  err_ << "\r\x1b[K" << std::flush;
  lineDrawn_ = false;
}

void TerminalUi::Draw(const TerminalProgress& window, bool force) {
  if (!errIsTerminal_ || !window.visible()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && lineDrawn_ && now - lastDraw_ < std::chrono::milliseconds(50)) return;
  lastDraw_ = now;
  err_ << "\r\x1b[K" << window.Line(columns_ != 0 ? columns_ : TerminalColumns()) << std::flush;
  lineDrawn_ = true;
}

bool TerminalUi::ReadLine(std::string& line) {
  if (!std::getline(in_, line)) return false;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  while (!line.empty() && line.front() == ' ') line.erase(line.begin());
  return true;
}

Answer TerminalUi::ShowMessage(std::string_view text, std::string_view, Icon, Buttons buttons) {
  ClearLine();
  err_ << Shown(text) << '\n' << std::flush;
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (buttons == Buttons::OkCancel) {
    // A notice to stop at: --no stops, and so does n on the terminal; with
    // nobody to ask the job goes on, as it would after the notice alone.
    if (questionAnswer_) return *questionAnswer_ == Answer::No ? Answer::Cancel : Answer::Ok;
    if (!inIsTerminal_) return Answer::Ok;
    for (;;) {
      err_ << "[y/n] " << std::flush;
      std::string line;
      if (!ReadLine(line)) return Answer::Cancel;
      if (line == "y" || line == "Y" || line == "yes" || line == "是" || line.empty()) return Answer::Ok;
      if (line == "n" || line == "N" || line == "no" || line == "否") return Answer::Cancel;
    }
  }
  if (questionAnswer_) return *questionAnswer_;
  if (!inIsTerminal_) {
    err_ << Tr("quirel: no terminal to answer on: taken as no (--yes answers yes)") << '\n' << std::flush;
    return Answer::No;
  }
  for (;;) {
    err_ << "[y/n] " << std::flush;
    std::string line;
    if (!ReadLine(line)) return Answer::No;
    if (line == "y" || line == "Y" || line == "yes" || line == "是") return Answer::Yes;
    if (line == "n" || line == "N" || line == "no" || line == "否") return Answer::No;
  }
}

Answer TerminalUi::ShowMessageWithDetail(std::string_view text, std::string_view caption, Icon icon,
                                         std::string_view detail) {
  const Answer answer = ShowMessage(text, caption, icon, Buttons::Ok);
  err_ << Shown(detail) << '\n' << std::flush;
  return answer;
}

void TerminalUi::Diagnostic(std::string_view line) {
  ClearLine();
  out_ << Shown(line) << '\n' << std::flush;
}

void TerminalUi::PumpMessage() {
  if (pendingInterrupts.exchange(0) == 0) return;
  for (auto& [kind, window] : windows_) {
    if (window->visible()) {
      window->PressInterrupt();
      return;
    }
  }
}

ProgressWindow& TerminalUi::NewProgress(ProgressKind kind) {
  auto& slot = windows_[kind];
  if (slot && slot->visible()) ClearLine();
  slot = std::make_unique<TerminalProgress>(*this, kind);
  return *slot;
}

ProgressWindow* TerminalUi::Progress(ProgressKind kind) {
  auto it = windows_.find(kind);
  return it == windows_.end() ? nullptr : it->second.get();
}

std::optional<int> TerminalUi::AskSendFormat(int current) {
  if (sendFormat_) return *sendFormat_;
  return current;  // the dialog opens on the current choice
}

std::optional<int> TerminalUi::AskClearMode() {
  if (clearMode_) return *clearMode_;
  return std::nullopt;
}

std::optional<ReceiveOptions> TerminalUi::AskReceiveOptions() {
  if (receiveOptions_) return *receiveOptions_;
  return std::nullopt;
}

DuplicateChoice TerminalUi::AskDuplicate(std::string_view name) {
  if (duplicateChoice_) return *duplicateChoice_;
  if (questionAnswer_) return *questionAnswer_ == Answer::Yes ? DuplicateChoice::kReplace : DuplicateChoice::kSkip;
  ClearLine();
  err_ << msg::kDuplicateFound << ' ' << Shown(name, false) << '\n';
  if (!inIsTerminal_) {
    // Without anyone to ask, leave the store as it was, and say so.
    err_ << Tr("quirel: no terminal to answer on: nothing is changed (--yes replaces, --no keeps the PC's records)")
         << '\n'
         << std::flush;
    return DuplicateChoice::kCancel;
  }
  for (;;) {
    err_ << "1 " << msg::kReplace << "  2 " << msg::kSkip << "  3 " << msg::kReplaceAll << "  4 " << msg::kCancel
         << ": " << std::flush;
    std::string line;
    if (!ReadLine(line)) return DuplicateChoice::kCancel;
    // The digits typed are the buttons' numbers.
    if (line.size() == 1 && line[0] >= '1' && line[0] <= '4') return static_cast<DuplicateChoice>(line[0] - '0');
  }
}

ReplaceChoice TerminalUi::AskReplaceFile(std::string_view path) {
  if (replaceChoice_) return *replaceChoice_;
  if (questionAnswer_) return *questionAnswer_ == Answer::Yes ? ReplaceChoice::Replace : ReplaceChoice::Keep;
  ClearLine();
  err_ << msg::kReplaceFileQuestion << ' ' << Shown(path, false) << '\n';
  if (!inIsTerminal_) {
    // Nobody to ask: the local file stays, and the line above names it.
    err_ << Tr("quirel: no terminal to answer on: the local file is kept (--overwrite or --yes replaces)") << '\n'
         << std::flush;
    fileQuestionUnanswered_ = true;
    return ReplaceChoice::Keep;
  }
  for (;;) {
    err_ << "1 " << msg::kReplace << "  2 " << msg::kSkip << "  3 " << msg::kReplaceAll << "  4 " << msg::kKeepAll
         << ": " << std::flush;
    std::string line;
    if (!ReadLine(line)) {
      fileQuestionUnanswered_ = true;
      return ReplaceChoice::Keep;
    }
    if (line == "1") return ReplaceChoice::Replace;
    if (line == "2") return ReplaceChoice::Keep;
    if (line == "3") return ReplaceChoice::ReplaceAll;
    if (line == "4") return ReplaceChoice::KeepAll;
  }
}

}  // namespace quirel::cli
