#include "cli/terminal_ui.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>

#include <unistd.h>

#include "cli/command.h"
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

// The last `limit` bytes of a UTF-8 text, cut at a character boundary.
std::string Tail(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  std::size_t start = text.size() - limit;
  while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  return "..." + std::string(text.substr(start));
}

int Percent(int low, int high, int pos) {
  if (high <= low) return 0;
  const long long p = (static_cast<long long>(pos) - low) * 100 / (static_cast<long long>(high) - low);
  return static_cast<int>(p < 0 ? 0 : p > 100 ? 100 : p);
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
  label_ = std::string(text);
  Changed();
}

void TerminalProgress::SetRange(Bar bar, int low, int high) {
  auto& b = bars_[static_cast<int>(bar)];
  b.low = low;
  b.high = high;
  b.pos = low;
  Changed();
}

void TerminalProgress::SetStep(Bar bar, int step) { bars_[static_cast<int>(bar)].step = step; }

void TerminalProgress::SetPos(Bar bar, int pos) {
  bars_[static_cast<int>(bar)].pos = pos;
  Changed();
}

void TerminalProgress::StepIt(Bar bar) {
  // A progress control starts over from its low end when a step passes the top.
  auto& b = bars_[static_cast<int>(bar)];
  b.pos += b.step;
  if (b.pos > b.high) b.pos = b.low + (b.pos - b.high);
  Changed();
}

void TerminalProgress::Changed() {
  if (visible_) ui_.Draw(*this, false);
}

std::string TerminalProgress::Line() const {
  const auto& overall = bars_[static_cast<int>(Bar::Overall)];
  const auto& file = bars_[static_cast<int>(Bar::File)];
  const int total = Percent(overall.low, overall.high, overall.pos);
  constexpr int kWidth = 20;
  const int filled = total * kWidth / 100;
  std::string line(Title(kind_));
  if (!label_.empty()) line += " " + Tail(label_, 40);
  line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
          std::string(static_cast<std::size_t>(kWidth - filled), '.') + "] " + std::to_string(total) + "%";
  if (kind_ != ProgressKind::Phonebook) line += " (" + std::to_string(Percent(file.low, file.high, file.pos)) + "%)";
  return line;
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
  err_ << "\r\x1b[K" << window.Line() << std::flush;
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
  err_ << text << '\n' << std::flush;
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (questionAnswer_) return *questionAnswer_;
  if (!inIsTerminal_) return Answer::No;
  for (;;) {
    err_ << "[y/n] " << std::flush;
    std::string line;
    if (!ReadLine(line)) return Answer::No;
    if (line == "y" || line == "Y" || line == "yes" || line == "是") return Answer::Yes;
    if (line == "n" || line == "N" || line == "no" || line == "否") return Answer::No;
  }
}

void TerminalUi::Diagnostic(std::string_view line) {
  ClearLine();
  out_ << line << '\n' << std::flush;
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

int TerminalUi::AskDuplicate(std::string_view name) {
  if (duplicateChoice_) return *duplicateChoice_;
  // Without anyone to ask, leave the store as it was.
  constexpr int kCancelChoice = 4;
  if (!inIsTerminal_) return kCancelChoice;
  ClearLine();
  err_ << msg::kDuplicateFound << ' ' << name << '\n';
  for (;;) {
    err_ << "1 " << msg::kReplace << "  2 " << msg::kSkip << "  3 " << msg::kReplaceAll << "  4 " << msg::kCancel
         << ": " << std::flush;
    std::string line;
    if (!ReadLine(line)) return kCancelChoice;
    if (line.size() == 1 && line[0] >= '1' && line[0] <= '4') return line[0] - '0';
  }
}

}  // namespace quirel::cli
