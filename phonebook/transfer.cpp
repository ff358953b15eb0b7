#include "phonebook/transfer.h"

#include <fstream>
#include <vector>

#include "common/ini.h"
#include "common/text.h"
#include "phonebook/exchange_files.h"
#include "resources/messages.h"

namespace quirel {
namespace {

constexpr std::uint8_t kFrameMark = 0xA5;
constexpr std::uint8_t kNoFrame = 0x1E;
constexpr std::size_t kFrame = 8192;
// A reader that streams bytes without ever starting a frame is given up
// after this many, instead of keeping the PC receiving for ever.
constexpr std::size_t kMaxBytesBeforeFrame = 65536;

// A received record goes into the store only when it holds every marker once
// in ascending order: anything else would make the store count as damaged.
bool WellFormed(std::string_view record) {
  int expected = 0x10;
  for (const char ch : record) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b == 0x1E) return false;
    if (b < 0x10 || b > 0x1B) continue;
    if (b != expected) return false;
    ++expected;
  }
  return expected == 0x1C;
}

}  // namespace

void PhonebookExchange::BeginProgress() {
  ProgressWindow& window = ui_.NewProgress(ProgressKind::Phonebook);
  window.Show();
  ui_.EnableWindow(Window::Phonebook, false);
  window.SetRange(Bar::Overall, 0, 3);
  window.SetStep(Bar::Overall, 1);
  window.SetPos(Bar::Overall, 0);
  stop_ = Stop::None;
}

void PhonebookExchange::Finish() {
  if (ProgressWindow* window = progress()) window->Hide();
  ui_.EnableWindow(Window::Phonebook, true);
}

PhonebookResult PhonebookExchange::Ended() {
  Finish();
  switch (stop_) {
    case Stop::Interrupted:
      return PhonebookResult::Interrupted;
    case Stop::Empty:
      return PhonebookResult::Empty;
    default:
      return PhonebookResult::Failed;
  }
}

bool PhonebookExchange::PumpAndCheckInterrupt() {
  ui_.PumpMessage();
  ProgressWindow* window = progress();
  if (window == nullptr || !window->InterruptRequested()) return false;
  window->Hide();
  window->ClearInterrupt();
  ui_.EnableWindow(Window::Phonebook, true);
  stop_ = Stop::Interrupted;
  return true;
}

PhonebookResult PhonebookExchange::SendPhonebook() {
  BeginProgress();
  // The reader's files have fixed sizes: a phonebook they cannot hold is
  // refused before the reader is told that one is coming.
  if (CheckExchangeCapacity(files_, list_.Texts(), ui_) == 0) {
    ui_.ShowMessage(msg::kExchangeBuildFailed, msg::kCaptionFramework, Icon::Error);
    return Ended();
  }
  if (link_.OpenLink() != LinkResult::kDone) return Ended();
  if (link_.SendBurst(0x06) != LinkResult::kDone) return Ended();
  if (BuildExchangeFiles(files_, list_.Texts(), ui_) == 0) {
    ui_.ShowMessage(msg::kExchangeBuildFailed, msg::kCaptionFramework, Icon::Error);
    return Ended();
  }
  for (const ExchangeFile kind : {ExchangeFile::Index, ExchangeFile::Query, ExchangeFile::Data}) {
    if (SendPhonebookFile(kind) == 0) return Ended();
    if (ProgressWindow* window = progress()) window->StepIt(Bar::Overall);
  }
  // The reader keeps the phonebook only once the end mark is in: without it
  // nothing was sent, whatever the frames did.
  if (link_.SendByte(kFrameMark) != LinkResult::kDone || link_.SendByte(kNoFrame) != LinkResult::kDone) {
    ui_.ShowMessage(msg::kSendDataFailed, msg::kCaptionFramework, Icon::Error);
    stop_ = Stop::Failed;
    return Ended();
  }
  link_.clock().Sleep(500);
  if (ProgressWindow* window = progress()) window->Hide();
  ui_.ShowMessage(msg::kPhonebookSent, msg::kCaption, Icon::Information);
  ui_.EnableWindow(Window::Phonebook, true);
  return PhonebookResult::Done;
}

bool PhonebookExchange::SendFrameBody(std::string_view bytes, std::size_t offset, std::string_view failure) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kFrame; ++i) {
    const std::uint8_t c =
        offset + i < bytes.size() ? static_cast<std::uint8_t>(bytes[offset + i]) : std::uint8_t{0xFF};
    sum = static_cast<std::uint8_t>(sum + c);
    if (link_.SendByte(c) != LinkResult::kDone) {
      ui_.ShowMessage(failure, msg::kCaptionFramework, Icon::Error);
      stop_ = Stop::Failed;
      return false;
    }
    if (PumpAndCheckInterrupt()) return false;
  }
  (void)link_.SendByte(sum);  // a dead link shows at the next checked byte, at the latest the end mark
  return true;
}

int PhonebookExchange::SendPhonebookFile(ExchangeFile kind) {
  std::string bytes;
  if (kind == ExchangeFile::Data) {
    if (!ReadFileBytes(files_.tmp3, bytes)) {
      ui_.ShowMessage(msg::kOpenDataFailed, msg::kCaptionFramework, Icon::Error);
      // Tells the reader no data follows; the send has failed either way.
      (void)link_.SendByte(kFrameMark);
      (void)link_.SendByte(kNoFrame);
      stop_ = Stop::Failed;
      return 0;
    }
    for (std::size_t offset = 0; offset < bytes.size(); offset += kFrame) {
      // A dead link shows at the frame's first checked byte.
      for (const std::uint8_t b : {std::uint8_t{0xF4}, std::uint8_t{0xA5}, std::uint8_t{0xF9}}) (void)link_.SendByte(b);
      if (!SendFrameBody(bytes, offset, msg::kSendDataFailed)) return 0;
    }
    return 1;
  }
  const bool index = kind == ExchangeFile::Index;
  if (!ReadFileBytes(index ? files_.idx : files_.qry, bytes)) {
    ui_.ShowMessage(index ? msg::kOpenIndexFailed : msg::kOpenQueryFailed, msg::kCaptionFramework, Icon::Error);
    stop_ = Stop::Failed;
    return 0;
  }
  const std::vector<std::uint8_t> header =
      index ? std::vector<std::uint8_t>{0xF1, 0xA5, 0x4C} : std::vector<std::uint8_t>{0xF5, 0xA5, 0x1B};
  for (const std::uint8_t b : header) (void)link_.SendByte(b);  // checked from the frame's first byte
  return SendFrameBody(bytes, 0, index ? msg::kSendIndexFailed : msg::kSendQueryFailed) ? 1 : 0;
}

int PhonebookExchange::PhonebookReceiveByte() {
  const int failed = ShiftInByte(link_.port(), link_.clock(), phonebookPorts, 5, phonebookReceivedByte);
  if (failed == 0) return 0;
  const std::string_view text = failed == 1   ? msg::kReceiveByteError1
                                : failed == 2 ? msg::kReceiveByteError2
                                              : msg::kReceiveByteError3;
  ui_.ShowMessage(text, msg::kCaption, Icon::Error);
  return 1;
}

void PhonebookExchange::FrameError(std::string_view base, char step) {
  std::string text(base);
  text.push_back(step);
  ui_.ShowMessage(text, msg::kCaptionFramework, Icon::Error);
  stop_ = Stop::Failed;
}

int PhonebookExchange::ReceivePhonebookFile(ExchangeFile kind) {
  return kind == ExchangeFile::Data ? ReceiveDataFile() : ReceiveFrameFile(kind);
}

bool PhonebookExchange::AwaitFrameMark(std::string_view base) {
  for (std::size_t skipped = 0;; ++skipped) {
    if (skipped == kMaxBytesBeforeFrame || PhonebookReceiveByte() != 0) {
      FrameError(base, '1');
      return false;
    }
    if (phonebookReceivedByte == kFrameMark) return true;
  }
}

int PhonebookExchange::ReceiveFrameFile(ExchangeFile kind) {
  const bool index = kind == ExchangeFile::Index;
  const std::string_view base = index ? msg::kReceiveIndexError : msg::kReceiveQueryError;
  std::ofstream out(index ? files_.idx : files_.qry, std::ios::binary | std::ios::trunc);
  if (!out) {
    ui_.ShowMessage(msg::kNoDiskSpace, msg::kCaptionFramework, Icon::Error);
    stop_ = Stop::Failed;
    return 0;
  }
  if (!AwaitFrameMark(base)) return 0;
  // A failed type byte has shown its message; a dead link fails the next byte.
  (void)PhonebookReceiveByte();
  const std::uint8_t type = phonebookReceivedByte;
  if (index && type == kNoFrame) {
    ui_.ShowMessage(msg::kReaderHasNoPhonebook, msg::kCaptionFramework, Icon::Error);
    stop_ = Stop::Empty;
    return 0;
  }
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kFrame; ++i) {
    if (PhonebookReceiveByte() != 0) {
      FrameError(base, '2');
      return 0;
    }
    out.put(static_cast<char>(phonebookReceivedByte));
    sum = static_cast<std::uint8_t>(sum + phonebookReceivedByte);
    if (PumpAndCheckInterrupt()) return 0;
  }
  out.put(static_cast<char>(type));
  if (PhonebookReceiveByte() != 0) {
    FrameError(base, '3');
    return 0;
  }
  out.close();
  if (phonebookReceivedByte != sum) {
    FrameError(base, '4');
    return 0;
  }
  return 1;
}

int PhonebookExchange::ReceiveDataFile() {
  const std::string_view base = msg::kReceiveDataFileError;
  std::ofstream out(files_.tmp, std::ios::binary | std::ios::trunc);
  if (!out) {
    ui_.ShowMessage(msg::kNoDiskSpace, msg::kCaptionFramework, Icon::Error);
    stop_ = Stop::Failed;
    return 0;
  }
  int markers = 0;  // 0x10 bytes received: five per record
  auto done = [&] {
    if (markers / 5 == 0) stop_ = Stop::Empty;
    return markers / 5;
  };
  std::string frame(kFrame, '\0');
  for (;;) {
    if (!AwaitFrameMark(base)) return 0;
    (void)PhonebookReceiveByte();  // as in ReceiveFrameFile: a dead link fails the next byte
    if (phonebookReceivedByte == kNoFrame) return done();
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < kFrame; ++i) {
      if (PhonebookReceiveByte() != 0) {
        FrameError(base, '2');
        return 0;
      }
      const std::uint8_t b = phonebookReceivedByte;
      // The end mark ends the data at once; what came of this frame is lost.
      if (b == kNoFrame) return done();
      sum = static_cast<std::uint8_t>(sum + b);
      frame[i] = static_cast<char>(b == 0 ? 0xFF : b);
      if (b == 0x10) ++markers;
      if (PumpAndCheckInterrupt()) return 0;
    }
    if (PhonebookReceiveByte() != 0) {
      FrameError(base, '3');
      return 0;
    }
    if (phonebookReceivedByte != sum) {
      FrameError(base, '4');
      return 0;
    }
    out.write(frame.data(), static_cast<std::streamsize>(frame.size()));
  }
}

MergeResult PhonebookExchange::MergeRecords(std::string_view received, std::string store) {
  MergeResult result;
  const PhonebookList before = list_;
  bool replaceAll = false;
  DuplicateChoice choice = DuplicateChoice::kCancel;  // the duplicate prompt starts out on "取消"
  std::size_t pos = 0;
  while (pos + 2 < received.size()) {
    const auto a = received.find(kMarkName, pos);
    if (a == std::string_view::npos) break;
    const auto b = received.find(kMarkMobile, a);
    if (b == std::string_view::npos) break;
    pos = received.find(kMarkEnd, b);
    if (pos == std::string_view::npos) break;
    const std::string_view raw = received.substr(a, pos - a + 1);
    // The rules of the record dialog hold for what the reader sends too.
    PhonebookRecord fields, clean;
    std::string record;
    RecordCheck check = RecordCheck::kOk;
    if (!WellFormed(raw) || !SplitRecord(raw, fields)) {
      ++result.skipped;
      if (ProgressWindow* window = progress()) window->StepIt(Bar::Overall);
      continue;
    }
    if ((check = StoreForm(fields, clean, record)) != RecordCheck::kOk) {
      result.refused.push_back(GbkToUtf8(CutGbk(clean.name, 32)) +
                               std::string(check == RecordCheck::kNoName ? msg::kRefusedNoName : msg::kRefusedTooLong));
      if (ProgressWindow* window = progress()) window->StepIt(Bar::Overall);
      continue;
    }
    const std::string key = NameKey(clean.name);
    const std::string_view name = clean.name;
    const auto at = store.find(key);
    if (at != std::string::npos && RecordAt(store, at) == record) {
      // Every field as stored: nothing to ask about, nothing to change.
    } else if (at == std::string::npos) {
      store.insert(store.empty() ? 0 : store.size() - 1, record);
      list_.MergeName(name);
      ++result.added;
    } else {
      DuplicateChoice answer = DuplicateChoice::kReplace;
      if (!replaceAll) {
        // Closing the prompt without a button keeps the previous choice.
        const DuplicateChoice asked = ui_.AskDuplicate(GbkToUtf8(name));
        if (asked != DuplicateChoice::kClosed) choice = asked;
        answer = choice;
      }
      if (answer == DuplicateChoice::kCancel) {
        result.cancelled = true;
        list_ = before;
        break;
      }
      if (answer == DuplicateChoice::kSkip) {
        ++result.skipped;
      } else {
        if (answer == DuplicateChoice::kReplaceAll) replaceAll = true;
        const std::string existing(RecordAt(store, at));
        ReplaceAll(store, existing, record);
        ++result.replaced;
      }
    }
    if (ProgressWindow* window = progress()) window->StepIt(Bar::Overall);
  }
  result.store = std::move(store);
  return result;
}

PhonebookResult PhonebookExchange::ReceivePhonebook() {
  BeginProgress();
  if (link_.OpenLink() != LinkResult::kDone) return Ended();
  if (link_.SendBurst(0xFA) != LinkResult::kDone) {
    ui_.ShowMessage(msg::kPhonebookReceiveRefused, msg::kCaption, Icon::Error);
    return Ended();
  }
  for (const ExchangeFile kind : {ExchangeFile::Index, ExchangeFile::Query}) {
    if (ReceivePhonebookFile(kind) == 0) return Ended();
    if (ProgressWindow* window = progress()) window->StepIt(Bar::Overall);
  }
  const int count = ReceivePhonebookFile(ExchangeFile::Data);
  if (count == 0) return Ended();
  ProgressWindow* window = progress();
  if (window != nullptr) {
    window->StepIt(Bar::Overall);
  }
  std::string layout;
  (void)ReadStoreBytes(files_.tmp, layout);  // just written; unreadable reads as no records
  const std::string received = UnpackRecords(layout);
  if (window != nullptr) {
    window->SetRange(Bar::Overall, 0, count);
    window->SetStep(Bar::Overall, 1);
    window->SetPos(Bar::Overall, 0);
  }
  FileLock lock = LockStore(files_.store);
  std::string store;
  if (!ReadStoreBytes(files_.store, store)) {
    ui_.ShowMessage(msg::kOpenStoreFailed, msg::kCaption, Icon::Error);
    stop_ = Stop::Failed;
    return Ended();
  }
  const MergeResult merged = MergeRecords(received, std::move(store));
  if (merged.cancelled) {
    Finish();
    return PhonebookResult::Cancelled;
  }
  if (!WriteFileAtomically(files_.store, merged.store)) {
    ui_.ShowMessage(msg::kNoDiskSpace3, msg::kCaption, Icon::Error);
    stop_ = Stop::Failed;
    return Ended();
  }
  lock.Release();
  if (window != nullptr) window->Hide();
  if (merged.refused.empty()) {
    ui_.ShowMessage(msg::kPhonebookReceived, msg::kCaption, Icon::Information);
  } else {
    std::string detail(msg::kRecordsRefusedHeading);
    for (const std::string& entry : merged.refused) detail += "\n" + entry;
    ui_.ShowMessageWithDetail(msg::kPhonebookReceived, msg::kCaption, Icon::Information, detail);
  }
  Finish();
  return PhonebookResult::Done;
}

PhonebookResult PhonebookExchange::ClearReaderPhonebook() {
  if (ui_.ShowMessage(msg::kConfirmClearPhonebook, msg::kCaption, Icon::Question, Buttons::YesNo) != Answer::Yes)
    return PhonebookResult::Cancelled;
  ui_.EnableWindow(Window::Phonebook, false);
  if (link_.OpenLink() != LinkResult::kDone || link_.SendBurst(0x9B) != LinkResult::kDone) {
    ui_.EnableWindow(Window::Phonebook, true);
    return PhonebookResult::Failed;
  }
  ui_.ShowMessage(msg::kPhonebookCleared, msg::kCaption, Icon::Information);
  ui_.EnableWindow(Window::Phonebook, true);
  return PhonebookResult::Done;
}

}  // namespace quirel
