// Every transfer against a reader that fails at every point of it: silent or
// switched off after N bytes for every N across the command (inside the
// 8192-byte data runs of the 24 KB commands: at both ends of each run and
// every 16th N between, see FaultPoints), slow answers, wrong sums in what
// it gives, and the interrupt button at every pump and Ctrl-C after every
// byte (the same thinning inside those runs). After each run:
// the command ended within its wait budget with a result and message of its
// own, no file on either side is partial, the phonebook store and config.ini
// are as before or wholly new, and nothing appeared outside the chosen folders.
#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "cli/terminal_ui.h"
#include "link/clear.h"
#include "link/commands.h"
#include "link/receive.h"
#include "phonebook/list.h"
#include "phonebook/store.h"
#include "phonebook/transfer.h"
#include "reader/give.h"
#include "reader/storage.h"
#include "resources/messages.h"
#include "send/send_job.h"
#include "tests/faults/station.h"
#include "tests/support/fake_ui.h"

namespace quirel::faults {
namespace {

using State = std::map<std::string, std::string>;

// What a command may change, by area. Files of a "per file" area are each
// either as before or as a completed run leaves them; a whole area is one
// or the other.
struct Observed {
  std::map<std::string, State> perFile;
  std::map<std::string, State> whole;
  State fixed;  // never changed by any run
};

struct Station {
  explicit Station(reader::ReaderOptions options = {}, UserInterface* external = nullptr)
      : reader(options, reader::MakeFirmware(scratch.path() / "reader")), ui(external != nullptr ? *external : fake) {
    fs::create_directories(env.home);
    fs::create_directories(env.systemDir);
    fs::create_directories(Local());
    // The viewer's settings and an unrelated phonebook live beside every run.
    WriteFile(env.HomeFile("config.ini"), "[ConfigInfo]\r\nFont=1\r\nLanguage=0\r\n");
  }
  fs::path Root() const { return scratch.path(); }
  fs::path Local() const { return Root() / "local"; }
  fs::path Target() const { return Root() / "target"; }
  fs::path Books() { return reader.firmware()->Books(); }
  PhonebookFiles Phonebook() const { return PhonebookFiles::For(env); }

  Observed Observe() {
    Observed o;
    o.perFile["books"] = Snapshot(Books());
    o.perFile["target"] = Snapshot(Target());
    o.whole["reader phonebook"] = Snapshot(reader.firmware()->PhonebookDir());
    o.whole["store"] = {{"tel", ReadFile(Phonebook().store)}};
    o.fixed = Snapshot(Local());
    o.fixed["config.ini"] = ReadFile(env.HomeFile("config.ini"));
    for (const auto& entry : fs::directory_iterator(Root())) o.fixed["top: " + entry.path().filename().string()];
    o.fixed.erase("top: target");
    return o;
  }

  Scratch scratch;
  Environment env{(scratch.path() / "home").string(), (scratch.path() / "system").string()};
  reader::VirtualReader reader;
  FaultCable cable{reader};
  BudgetClock clock;
  testing::FakeUi fake;
  UserInterface& ui;
  Link link{cable, clock, ui};
};

LinkResult FromPhonebook(PhonebookResult r) {
  switch (r) {
    case PhonebookResult::Done:
      return LinkResult::kDone;
    case PhonebookResult::Interrupted:
    case PhonebookResult::Cancelled:
      return LinkResult::kInterrupted;
    default:
      return LinkResult::kFailed;
  }
}

// Two records in the PC's store; the reader's phonebook holds other ones.
const std::string kRecordA = std::string("\x10") +
                             "zhang\x11"
                             "138\x12\x13\x14\x15\x16\x17\x18\x19\x1A"
                             "note\x1B";
const std::string kRecordB = std::string("\x10") +
                             "li\x11"
                             "139\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B";
const std::string kRecordC = std::string("\x10") +
                             "wang\x11"
                             "137\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B";

std::string Pattern(std::size_t n, int seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(seed)) % 251);
  return s;
}

void PutSystemFiles(Station& s) {
  WriteFile(s.env.SystemFile(kFontFileJ), Pattern(120, 1));
  WriteFile(s.env.SystemFile(kFontFileF), Pattern(90, 2));
  WriteFile(s.env.SystemFile(kBitmapFile), Pattern(60, 3));
}

void PutReaderBooks(Station& s) {
  WriteFile(s.Books() / "top.ebk", Pattern(300, 4));
  WriteFile(s.Books() / "shelf" / "a.txt", Pattern(700, 5));
  WriteFile(s.Books() / "shelf" / "inner" / "b.ebk", Pattern(1, 6));
  reader::WriteCursor(*s.reader.firmware(), "shelf");
}

// Leaves the reader holding a phonebook of its own, sent fault-free by a
// reader of its own on the same storage, so that neither the station's clock
// nor its byte counts see it. What the send leaves is kept and laid down
// again in later stations: a sweep sets up thousands.
void PutReaderPhonebook(Station& s, const std::string& records) {
  static std::map<std::string, State> prepared;
  auto it = prepared.find(records);
  if (it == prepared.end()) {
    const PhonebookFiles files = s.Phonebook();
    WriteFile(files.store, "\x09\x09" + records + "\x1E");
    PhonebookList list;
    list.Load(ListNames(ReadFile(files.store)));
    testing::FakeUi quiet;
    VirtualClock clock;
    reader::VirtualReader helper({}, reader::MakeFirmware(s.reader.firmware()->root()));
    Link link(helper, clock, quiet);
    PhonebookExchange exchange(link, quiet, files, list);
    exchange.ProbePorts();
    ASSERT_EQ(exchange.SendPhonebook(), PhonebookResult::Done);
    it = prepared.emplace(records, Snapshot(s.Root())).first;
  }
  for (const auto& [name, bytes] : it->second) {
    if (bytes == "<folder>")
      fs::create_directories(s.Root() / name);
    else
      WriteFile(s.Root() / name, bytes);
  }
}

struct Operation {
  std::string name;
  ProgressKind window;
  bool hasWindow;
  std::function<void(Station&)> setup;
  std::function<LinkResult(Station&)> run;
  std::string success;  // the closing message of a completed run
  // Where the 8192-byte data runs of the frames start, counted in bytes
  // moved either way (see LongRuns).
  std::vector<long long> dataRuns = {};
  // Bytes whose answer the command does not wait for: each may cost a wait
  // of its own before a byte that counts fails.
  int unheededBytes = 0;
};

// The three commands that move 24 KB: each of their frames carries 8192
// bytes after a header. A full clear is the link opening (21 probe bytes),
// 0x8D x 10, then 5A A5 FC + block + sum, 5A A5 FB + block + sum, 5A A5 F8,
// a second opening, F7 x 10 and the picture's block + sum. A phonebook send
// is the opening, 06 x 10, then F1 A5 4C, F5 A5 1B and F4 A5 F9 frames of
// block + sum each and A5 1E; a receive is the opening and FA x 10, then the
// reader gives A5, a type byte, block and sum for each of its three frames.
constexpr long long kBlock = 8192;
constexpr long long kOpening = 21 + 10;
const std::vector<long long> kFullClearRuns = {kOpening + 3, kOpening + 3 + kBlock + 1 + 3,
                                               kOpening + 2 * (3 + kBlock + 1) + 3 + kOpening};
const std::vector<long long> kPhonebookSendRuns = {kOpening + 3, kOpening + 2LL * 3 + kBlock + 1,
                                                   kOpening + 3LL * 3 + 2 * (kBlock + 1)};
const std::vector<long long> kPhonebookReceiveRuns = {kOpening + 2, kOpening + 2LL * 2 + kBlock + 1,
                                                      kOpening + 3LL * 2 + 2 * (kBlock + 1)};

LinkResult RunSend(Station& s, bool folder) {
  send::SendList list;
  if (folder)
    list.AddFolder((s.Local() / "tree").string());
  else
    list.AddFile((s.Local() / "novel.txt").string());
  convert::Context ctx{s.env, s.ui, 20};
  send::SendJob job(s.link, ctx);
  job.sendFormat = send::kKeepFormat;
  s.fake.sendFormat = send::kKeepFormat;
  return job.Run(list);
}

PhonebookResult RunPhonebook(Station& s, int what) {
  const PhonebookFiles files = s.Phonebook();
  PhonebookList list;
  list.Load(ListNames(ReadFile(files.store)));
  PhonebookExchange exchange(s.link, s.ui, files, list);
  exchange.ProbePorts();
  if (what == 0) return exchange.SendPhonebook();
  if (what == 1) return exchange.ReceivePhonebook();
  return exchange.ClearReaderPhonebook();
}

std::vector<Operation> Operations() {
  auto none = [](Station&) {};
  return {
      {"mkdir", ProgressKind::Send, false, none, [](Station& s) { return CreateDirectoryCommand(s.link, "新目录"); },
       std::string(msg::kDirectoryCreated)},
      {"quick clear", ProgressKind::Clear, true,
       [](Station& s) {
         PutSystemFiles(s);
         PutReaderBooks(s);
       },
       [](Station& s) { return ClearDevice(s.link, s.env, 0); }, std::string(msg::kQuickClearDone)},
      {"full clear", ProgressKind::Clear, true,
       [](Station& s) {
         PutSystemFiles(s);
         PutReaderBooks(s);
       },
       [](Station& s) { return ClearDevice(s.link, s.env, 1); }, std::string(msg::kFullClearDone), kFullClearRuns},
      {"send file", ProgressKind::Send, true, [](Station& s) { WriteFile(s.Local() / "novel.txt", Pattern(2500, 7)); },
       [](Station& s) { return RunSend(s, false); }, " 1" + std::string(msg::kFilesSentSuffix)},
      {"send folder", ProgressKind::Send, true,
       [](Station& s) {
         WriteFile(s.Local() / "tree" / "a.txt", Pattern(1200, 8));
         WriteFile(s.Local() / "tree" / "sub" / "b.htm", Pattern(10, 9));
         WriteFile(s.Local() / "tree" / "sub" / "deeper" / "c.ebk", "");
       },
       [](Station& s) { return RunSend(s, true); }, " 3" + std::string(msg::kFilesSentSuffix)},
      {"receive cursor", ProgressKind::Receive, true, PutReaderBooks,
       [](Station& s) { return ReceiveFiles(s.link, kReceiveCursorItem, s.Target().string()); },
       std::string(msg::kAllReceived)},
      {"receive all", ProgressKind::Receive, true, PutReaderBooks,
       [](Station& s) { return ReceiveFiles(s.link, kReceiveEverything, s.Target().string()); },
       std::string(msg::kAllReceived)},
      {"phonebook send", ProgressKind::Phonebook, true,
       [](Station& s) {
         PutReaderPhonebook(s, kRecordC);
         WriteFile(s.Phonebook().store, "\x09\x09" + kRecordA + kRecordB + "\x1E");
       },
       [](Station& s) { return FromPhonebook(RunPhonebook(s, 0)); }, std::string(msg::kPhonebookSent),
       kPhonebookSendRuns,
       // A frame's sum and the next frame's three header bytes go out unheeded.
       4},
      {"phonebook receive", ProgressKind::Phonebook, true,
       [](Station& s) {
         PutReaderPhonebook(s, kRecordC + kRecordB);
         WriteFile(s.Phonebook().store, "\x09\x09" + kRecordA + kRecordB + "\x1E");
         s.fake.duplicateAnswers = {1};
       },
       [](Station& s) { return FromPhonebook(RunPhonebook(s, 1)); }, std::string(msg::kPhonebookReceived),
       kPhonebookReceiveRuns},
      {"phonebook clear", ProgressKind::Phonebook, false,
       [](Station& s) {
         PutReaderPhonebook(s, kRecordC);
         s.fake.answers = {Answer::Yes};
       },
       [](Station& s) { return FromPhonebook(RunPhonebook(s, 2)); }, std::string(msg::kPhonebookCleared)},
  };
}

// The fault-free run: what a completed command leaves, and how long it took.
struct Baseline {
  Observed before, after;
  long long moved = 0;
  long long given = 0;
  long long pumps = 0;
  std::vector<long long> movedAtPump;  // bytes moved when each pump came
  std::uint64_t elapsedMs = 0;
};

Baseline Measure(const Operation& op) {
  Station s;
  op.setup(s);
  Baseline b;
  b.before = s.Observe();
  s.fake.onPump = [&b, &s](int) { b.movedAtPump.push_back(s.cable.Moved()); };
  EXPECT_EQ(op.run(s), LinkResult::kDone) << op.name;
  b.after = s.Observe();
  b.moved = s.cable.Moved();
  b.given = static_cast<long long>(s.reader.GivenCount());
  b.pumps = s.fake.pumps;
  b.elapsedMs = s.clock.elapsedMs;
  EXPECT_FALSE(s.fake.messages.empty());
  if (!s.fake.messages.empty()) {
    EXPECT_EQ(s.fake.messages.back().text, op.success) << op.name;
  }
  return b;
}

// Every N from 0 to total, except in the middle of the long data runs
// (8192 bytes from each start in runs): there every N in the first and last
// kRunEdge bytes, which take in the frame boundaries with their headers and
// sums, and every kRunStride-th N between. A run of 8192 bytes is handled
// the same at each of its bytes, and sweeping every N of three 24 KB
// commands would cost the better part of an hour.
constexpr long long kRunEdge = 256;
constexpr long long kRunStride = 16;

std::vector<long long> FaultPoints(long long total, const std::vector<long long>& runs) {
  std::vector<long long> points;
  for (long long n = 0; n <= total; ++n) {
    bool skip = false;
    for (long long start : runs) {
      const long long at = n - start;
      if (at >= kRunEdge && at < kBlock - kRunEdge && at % kRunStride != 0) skip = true;
    }
    if (!skip) points.push_back(n);
  }
  return points;
}

// The same in pumps: the long commands pump once for each byte of a run.
std::vector<long long> PumpPoints(const Operation& op, long long pumps) {
  std::vector<long long> runs;
  for (std::size_t i = 0; i < op.dataRuns.size(); ++i) runs.push_back(1 + static_cast<long long>(i) * kBlock);
  std::vector<long long> points = FaultPoints(pumps, runs);
  std::erase(points, 0);
  return points;
}

// The one wait that failed, a closing attempt or two, the unheeded bytes
// before it, and the pauses a completed run would have taken.
std::uint64_t WaitBudgetMs(const Operation& op) { return static_cast<std::uint64_t>(3 + op.unheededBytes) * 1002; }

// The phonebook's send and clear end without a message when the reader
// stops during their command burst (after a link opening that worked).
bool QuietBurstFailure(const Operation& op, Station& s) {
  return (op.name == "phonebook send" || op.name == "phonebook clear") && s.reader.Received().size() <= 31;
}

::testing::AssertionResult Sound(const Operation& op, const Baseline& b, Station& s, LinkResult result,
                                 const std::string& fault) {
  auto fail = [&](const std::string& what) {
    std::string shown;
    for (const auto& m : s.fake.messages) shown += " [" + m.text + "]";
    return ::testing::AssertionFailure() << op.name << ", " << fault << ": " << what << " (result "
                                         << static_cast<int>(result) << ", shown:" << shown << ")";
  };
  if (static_cast<int>(result) < 0 || static_cast<int>(result) > 2) return fail("no such result");
  if (s.clock.elapsedMs > b.elapsedMs + WaitBudgetMs(op))
    return fail("waited " + std::to_string(s.clock.elapsedMs) + " ms of virtual time");
  const Observed now = s.Observe();
  if (now.fixed != b.before.fixed) return fail("a file outside the chosen folders changed");
  for (const auto& [area, files] : now.whole)
    if (files != b.before.whole.at(area) && files != b.after.whole.at(area)) return fail(area + " half-written");
  for (const auto& [area, files] : now.perFile) {
    const State& was = b.before.perFile.at(area);
    const State& done = b.after.perFile.at(area);
    for (const auto& [name, bytes] : files) {
      const bool asBefore = was.count(name) != 0 && was.at(name) == bytes;
      const bool asDone = done.count(name) != 0 && done.at(name) == bytes;
      if (!asBefore && !asDone) return fail(area + "/" + name + " is partial or unknown");
    }
  }
  const auto& messages = s.fake.messages;
  bool errorShown = !s.fake.diagnostics.empty();
  for (const auto& m : messages) errorShown = errorShown || m.icon == Icon::Error;
  if (result == LinkResult::kDone) {
    if (now.perFile != b.after.perFile || now.whole != b.after.whole) return fail("reported done, not all done");
    if (messages.empty() || messages.back().text != op.success) return fail("done without its closing message");
    if (errorShown) return fail("done after an error message");
  } else if (result == LinkResult::kFailed && !errorShown && !QuietBurstFailure(op, s)) {
    return fail("failed without a message");
  }
  if (!s.fake.Enabled(Window::Main) || !s.fake.Enabled(Window::Phonebook)) return fail("window left disabled");
  if (op.hasWindow) {
    const testing::FakeProgress* window = s.fake.Fake(op.window);
    if (window != nullptr && window->visible) return fail("progress window left open");
  }
  return ::testing::AssertionSuccess();
}

class Sweep : public ::testing::TestWithParam<int> {
 protected:
  const Operation& Op() {
    static const std::vector<Operation> ops = Operations();
    return ops.at(static_cast<std::size_t>(GetParam()));
  }
};

// Runs the command once with a fault applied.
template <typename Inject>
::testing::AssertionResult RunWithFault(const Operation& op, const Baseline& b, const std::string& fault, Inject inject,
                                        reader::ReaderOptions options = {}) {
  Station s(options);
  op.setup(s);
  inject(s);
  LinkResult result = LinkResult::kFailed;
  try {
    result = op.run(s);
  } catch (const Hang&) {
    return ::testing::AssertionFailure() << op.name << ", " << fault << ": still waiting after "
                                         << BudgetClock::kHardLimitMs << " ms";
  }
  return Sound(op, b, s, result, fault);
}

TEST_P(Sweep, ReaderFallsSilentOrIsSwitchedOffAtEveryPoint) {
  const Operation& op = Op();
  const Baseline b = Measure(op);
  // The runs lie where the frames put them: one pump after each of their bytes.
  if (!op.dataRuns.empty()) {
    ASSERT_EQ(b.pumps, static_cast<long long>(op.dataRuns.size()) * kBlock) << op.name;
  }
  for (std::size_t i = 0; i < op.dataRuns.size(); ++i) {
    const auto first = static_cast<std::size_t>(i * kBlock);
    ASSERT_EQ(b.movedAtPump.at(first), op.dataRuns[i] + 1) << op.name << ", run " << i;
    ASSERT_EQ(b.movedAtPump.at(first + kBlock - 1), op.dataRuns[i] + kBlock) << op.name << ", run " << i;
  }
  int points = 0;
  for (long long n : FaultPoints(b.moved, op.dataRuns)) {
    ++points;
    ASSERT_TRUE(
        RunWithFault(op, b, "silent after " + std::to_string(n), [n](Station& s) { s.reader.SetSilentAfter(n); }));
    ASSERT_TRUE(RunWithFault(op, b, "off after " + std::to_string(n), [n](Station& s) { s.cable.offAt = n; }));
  }
  std::printf("%s: %lld bytes on the cable, %d fault points, silent at each and switched off at each\n",
              op.name.c_str(), b.moved, points);
}

TEST_P(Sweep, SlowReaderCompletesAsAFastOne) {
  const Operation& op = Op();
  const Baseline b = Measure(op);
  // 3100 polls per level change outlasts the PC's busy polls, so it sleeps.
  for (int slow : {1, 7, 3100}) {
    if (slow > 100 && b.moved > 3000) continue;  // only slow to test, nothing new
    reader::ReaderOptions options;
    options.slow = slow;
    Station s(options);
    op.setup(s);
    ASSERT_EQ(op.run(s), LinkResult::kDone) << op.name << ", slow=" << slow;
    const Observed now = s.Observe();
    EXPECT_EQ(now.perFile, b.after.perFile) << op.name << ", slow=" << slow;
    EXPECT_EQ(now.whole, b.after.whole) << op.name << ", slow=" << slow;
    ASSERT_FALSE(s.fake.messages.empty());
    EXPECT_EQ(s.fake.messages.back().text, op.success) << op.name << ", slow=" << slow;
  }
}

// Where the sums sit in what the reader gives for a receive.
std::vector<long long> GivenSums(const Operation& op, const Baseline& b) {
  std::vector<long long> sums;
  if (op.name == "phonebook receive") {
    for (long long at = 8194; at < b.given; at += 8195) sums.push_back(at);  // mark, type, 8192 bytes, sum
  } else if (op.window == ProgressKind::Receive) {
    Station s;
    op.setup(s);
    const fs::path from = op.name == "receive all" ? s.Books() : s.Books() / "shelf";
    long long at = 0;
    for (const fs::path& file : reader::FilesBelow(from)) {
      at += static_cast<long long>(reader::EncodeItem(s.Books(), file)->size());
      sums.push_back(at - 1);
    }
  }
  return sums;
}

TEST_P(Sweep, WrongSumFromTheReaderIsRefused) {
  const Operation& op = Op();
  const Baseline b = Measure(op);
  const std::vector<long long> sums = GivenSums(op, b);
  if (b.given > 2) {
    ASSERT_FALSE(sums.empty()) << op.name;
  }
  for (long long at : sums) {
    ::testing::AssertionResult sound = RunWithFault(op, b, "wrong sum at given byte " + std::to_string(at),
                                                    [at](Station& s) { s.cable.corruptGivenAt = at; });
    ASSERT_TRUE(sound);
  }
}

// The interrupt button pressed at every pump of the transfer (thinned
// inside the data runs of the long ones as FaultPoints does).
TEST_P(Sweep, InterruptButtonAtEveryPoint) {
  const Operation& op = Op();
  if (!op.hasWindow) GTEST_SKIP() << "no progress window";
  const Baseline b = Measure(op);
  int points = 0;
  for (long long k : PumpPoints(op, b.pumps)) {
    ++points;
    ASSERT_TRUE(RunWithFault(op, b, "interrupt at pump " + std::to_string(k), [k, &op](Station& s) {
      s.fake.onPump = [k, &op, &s](int pump) {
        if (pump == k && s.fake.Progress(op.window) != nullptr) s.fake.Fake(op.window)->interrupt = true;
      };
    }));
  }
  std::printf("%s: %lld pumps, interrupted at %d of them\n", op.name.c_str(), b.pumps, points);
}

// Ctrl-C as the command-line program takes it: the signal presses the
// interrupt button of the window on screen at the next pump.
TEST_P(Sweep, CtrlCAtEveryPoint) {
  const Operation& op = Op();
  if (!op.hasWindow) GTEST_SKIP() << "no progress window: Ctrl-C ends the program";
  const Baseline b = Measure(op);
  cli::TerminalUi::InstallInterruptHandler();
  int points = 0;
  for (long long n : FaultPoints(b.moved, op.dataRuns)) {
    if (n == 0) continue;
    ++points;
    std::istringstream in;
    std::ostringstream out, err;
    cli::TerminalUi terminal(in, out, err, false, false);
    terminal.SetQuestionAnswer(Answer::Yes);
    terminal.SetSendFormat(send::kKeepFormat);
    terminal.SetDuplicateChoice(DuplicateChoice::kReplace);
    Station s({}, &terminal);
    op.setup(s);
    s.cable.hookAt = n;
    // With no window on screen Ctrl-C would end this very process.
    s.cable.hook = [&terminal, &op] {
      auto* window = static_cast<cli::TerminalProgress*>(terminal.Progress(op.window));
      if (window != nullptr && window->visible()) std::raise(SIGINT);
    };
    LinkResult result = LinkResult::kFailed;
    try {
      result = op.run(s);
    } catch (const Hang&) {}
    ASSERT_TRUE(result == LinkResult::kDone || result == LinkResult::kInterrupted)
        << op.name << ", Ctrl-C after " << n << ": " << static_cast<int>(result) << "\n"
        << err.str();
    const Observed now = s.Observe();
    ASSERT_EQ(now.fixed, b.before.fixed) << op.name << ", Ctrl-C after " << n;
    for (const auto& [area, files] : now.whole)
      ASSERT_TRUE(files == b.before.whole.at(area) || files == b.after.whole.at(area)) << area << " after " << n;
    for (const auto& [area, files] : now.perFile)
      for (const auto& [name, bytes] : files) {
        const State& was = b.before.perFile.at(area);
        const State& done = b.after.perFile.at(area);
        ASSERT_TRUE((was.count(name) != 0 && was.at(name) == bytes) ||
                    (done.count(name) != 0 && done.at(name) == bytes))
            << op.name << ", Ctrl-C after " << n << ": " << area << "/" << name;
      }
    if (result == LinkResult::kDone) {
      ASSERT_NE(err.str().find(op.success), std::string::npos) << err.str();
    }
    terminal.PumpMessage();  // nothing left pending for the next run
  }
  std::signal(SIGINT, SIG_DFL);
  std::printf("%s: Ctrl-C at %d points\n", op.name.c_str(), points);
}

std::string CommandName(const ::testing::TestParamInfo<int>& info) {
  static const char* const kNames[] = {
      "Mkdir",         "QuickClear", "FullClear",     "SendFile",         "SendFolder",
      "ReceiveCursor", "ReceiveAll", "PhonebookSend", "PhonebookReceive", "PhonebookClear"};
  return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Commands, Sweep, ::testing::Range(0, 10), CommandName);

}  // namespace
}  // namespace quirel::faults
