#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "common/text.h"
#include "link/link.h"
#include "phonebook/exchange_files.h"
#include "phonebook/transfer.h"
#include "phonebook/window.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"
#include "tests/phonebook/pb_support.h"
#include "tests/support/fake_ui.h"
#include "tests/support/strict_reader.h"

namespace quirel {
namespace {

using testing::Bytes;
using testing::ReadFile;
using testing::Rec;
using testing::Repeat;
using testing::Store;
using testing::WriteFile;

const std::string kCaption = "卓卷电子书6.1";
const std::string kFramework = "卓卷电子书4.0";
using testing::kEnd;
using testing::kNoMobile;

std::uint8_t Sum(const std::string& bytes) {
  std::uint8_t sum = 0;
  for (const char c : bytes) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
  return sum;
}

std::string Padded(const std::string& content) { return content + Repeat(0xFF, 8192 - content.size()); }

// A frame as the reader gives it: 0xA5, type, 8192 bytes, their sum.
std::string Frame(int type, const std::string& content) {
  const std::string body = Padded(content);
  return Bytes({0xA5, type}) + body + std::string(1, static_cast<char>(Sum(body)));
}

std::vector<std::uint8_t> Vec(const std::string& s) { return {s.begin(), s.end()}; }

// A reader that answers 0xFA with a fixed byte stream.
class GiveScript final : public reader::CommandHandler {
 public:
  GiveScript(reader::Firmware& firmware, std::vector<std::uint8_t> bytes)
      : firmware_(firmware), bytes_(std::move(bytes)) {}
  bool Start() override {
    firmware_.reader().Give(bytes_);
    return false;
  }
  bool OnByte(std::uint8_t) override { return false; }

 private:
  reader::Firmware& firmware_;
  std::vector<std::uint8_t> bytes_;
};

struct Rig {
  testing::TempDir dir;
  VirtualClock clock;
  testing::FakeUi ui;
  PhonebookFiles files = PhonebookFiles::InDirectory(dir.Path());
  PhonebookList list;
  std::unique_ptr<reader::VirtualReader> reader;
  std::unique_ptr<Link> link;
  std::unique_ptr<PhonebookExchange> exchange;

  explicit Rig(const std::string* script = nullptr) {
    std::unique_ptr<reader::Firmware> firmware;
    if (script != nullptr) {
      firmware = std::make_unique<reader::Firmware>(dir.Path("reader"));
      firmware->Register(
          0xFA, [bytes = Vec(*script)](reader::Firmware& f) { return std::make_unique<GiveScript>(f, bytes); });
    } else {
      firmware = reader::MakeFirmware(dir.Path("reader"));
    }
    reader = std::make_unique<reader::VirtualReader>(testing::StrictOptions(), std::move(firmware));
    link = std::make_unique<Link>(*reader, clock, ui);
    exchange = std::make_unique<PhonebookExchange>(*link, ui, files, list);
    exchange->ProbePorts();
  }

  void Open(const std::string& records) {
    WriteFile(files.store, Store(records));
    ASSERT_TRUE(LoadPhonebookList(files, list, ui));
  }
  std::string ReaderFile(const std::string& name) const { return ReadFile(dir.Path("reader/phonebook/" + name)); }
  // Puts a phonebook into the reader as if a PC had sent it.
  void Seed(const std::string& records, const std::vector<std::string>& names) {
    PhonebookList sender;
    sender.Load(names);
    ExchangeImage image;
    ASSERT_FALSE(ComposeExchange(Store(records), sender.Texts(), image));
    WriteFile(dir.Path("reader/phonebook/index.bin"), image.index);
    WriteFile(dir.Path("reader/phonebook/query.bin"), image.query);
    WriteFile(dir.Path("reader/phonebook/data.bin"), image.data);
  }
  ~Rig() { testing::ExpectHandshakesKept(*reader); }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  void ExpectFinished() {
    EXPECT_TRUE(ui.Enabled(Window::Phonebook));
    ASSERT_NE(ui.Fake(ProgressKind::Phonebook), nullptr);
    EXPECT_FALSE(ui.Fake(ProgressKind::Phonebook)->visible);
  }
};

std::string LinkOpening(int command) {
  std::string out;
  for (int b = 0; b <= 20; ++b) out.push_back(static_cast<char>(b));
  return out + Repeat(command, 10);
}

std::string Received(const Rig& rig) {
  const auto& r = rig.reader->Received();
  return {r.begin(), r.end()};
}

TEST(SendPhonebook, EmptyStoreSendsBothTablesThenTheEnd) {
  Rig rig;
  rig.Open("");
  EXPECT_EQ(rig.exchange->SendPhonebook(), PhonebookResult::Done);
  const std::string index = Repeat(0xFF, 8192);
  const std::string query =
      Bytes({0xF2, 0xF2, 0, 0}) + Repeat(0xFF, 4092) + Bytes({0xF3, 0xF3, 0, 0}) + Repeat(0xFF, 4092);
  EXPECT_EQ(Received(rig), LinkOpening(0x06) + Bytes({0xF1, 0xA5, 0x4C}) + index + Bytes({Sum(index)}) +
                               Bytes({0xF5, 0xA5, 0x1B}) + query + Bytes({Sum(query)}) + Bytes({0xA5, 0x1E}));
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, "电话本数据传送成功！");
  EXPECT_EQ(rig.ui.messages[0].caption, kCaption);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Information);
  EXPECT_EQ(rig.ui.Fake(ProgressKind::Phonebook)->bars[Bar::Overall].steps, 3);
  EXPECT_EQ(rig.clock.elapsedMs, 500u);
  rig.ExpectFinished();
  EXPECT_EQ(rig.ReaderFile("index.bin"), index);
  EXPECT_EQ(rig.ReaderFile("data.bin"), "");
}

TEST(SendPhonebook, RecordsTravelInListOrderInDataFrames) {
  Rig rig;
  rig.Open(Rec("Tom") + Rec("Ann"));
  ASSERT_EQ(rig.exchange->SendPhonebook(), PhonebookResult::Done);
  const std::string data = Padded(Repeat(0x10, 5) + "Ann" + std::string(8, ' ') + kNoMobile + kEnd + Repeat(0x10, 5) +
                                  "Tom" + std::string(8, ' ') + kNoMobile + kEnd);
  const std::string sent = Received(rig);
  const std::string tail = Bytes({0xF4, 0xA5, 0xF9}) + data + Bytes({Sum(data)}) + Bytes({0xA5, 0x1E});
  ASSERT_GE(sent.size(), tail.size());
  EXPECT_EQ(sent.substr(sent.size() - tail.size()), tail);
  EXPECT_EQ(rig.ReaderFile("data.bin"), data);
}

TEST(SendPhonebook, PhonebookTheReaderCannotHoldSendsNothing) {
  Rig rig;
  std::string many;
  for (int i = 0; i < 1025; ++i) many += Rec("n" + std::to_string(1000 + i));
  rig.Open(many);
  EXPECT_EQ(rig.exchange->SendPhonebook(), PhonebookResult::Failed);
  EXPECT_TRUE(rig.reader->Received().empty());
  ASSERT_EQ(rig.ui.messages.size(), 2u);
  EXPECT_EQ(rig.ui.messages[0].text, "电话本记录超过1024个,\n不能传送到卓卷电子书!");
  EXPECT_EQ(rig.ui.messages[1].text, "电话本数据初始化出错！");
  EXPECT_EQ(rig.ui.messages[1].caption, kFramework);
  rig.ExpectFinished();
}

TEST(SendPhonebook, InterruptEndsSilently) {
  Rig rig;
  rig.Open(Rec("Tom"));
  rig.ui.onPump = [&](long long n) {
    if (n == 100) rig.ui.Fake(ProgressKind::Phonebook)->interrupt = true;
  };
  EXPECT_EQ(rig.exchange->SendPhonebook(), PhonebookResult::Interrupted);
  EXPECT_TRUE(rig.ui.messages.empty());
  EXPECT_FALSE(rig.ui.Fake(ProgressKind::Phonebook)->interrupt);
  rig.ExpectFinished();
}

TEST(ReceivePhonebook, ReaderWithoutRecordsLeavesTheStoreAlone) {
  Rig rig;
  rig.Open(Rec("Tom", "139"));
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Empty);
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, "卓卷电子书中没有电话本记录 ！1");
  EXPECT_EQ(rig.ui.messages[0].caption, kFramework);
  EXPECT_EQ(rig.ui.messages[0].icon, Icon::Error);
  EXPECT_EQ(ReadFile(rig.files.store), Store(Rec("Tom", "139")));
  rig.ExpectFinished();
}

const std::string kSixChars = "\xD5\xC5\xC8\xFD\xC0\xEE\xCB\xC4\xCD\xF5\xCE\xE5";  // 张三李四王五
const std::string kSixLayout = Repeat(0x10, 5) + kSixChars.substr(0, 10) + std::string(1, '\0') + kSixChars.substr(10) +
                               std::string(14, ' ') + kNoMobile + kEnd;

TEST(ReceivePhonebook, NulIsStoredAsFFWhileTheSumTakesItAsReceived) {
  const std::string script = Frame(0x4C, "") + Frame(0x1B, "") + Frame(0xF9, kSixLayout) + Bytes({0xA5, 0x1E});
  Rig rig(&script);
  rig.Open("");
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Done);
  std::string stored = kSixLayout;
  stored[15] = '\xFF';
  EXPECT_EQ(ReadFile(rig.files.tmp), Padded(stored));
  EXPECT_EQ(ReadFile(rig.files.idx), Repeat(0xFF, 8192) + Bytes({0x4C}));
  EXPECT_EQ(ReadFile(rig.files.store), Store(Rec(kSixChars)));
  EXPECT_EQ(rig.list.Texts(), (std::vector<std::string>{" " + kSixChars}));
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, "电话本数据接收成功!");
  EXPECT_EQ(rig.ui.messages[0].caption, kCaption);
  rig.ExpectFinished();
}

TEST(ReceivePhonebook, WrongSumIsReportedAndNothingMerged) {
  std::string bad = Frame(0xF9, kSixLayout);
  bad.back() = static_cast<char>(bad.back() + 1);
  const std::string script = Frame(0x4C, "") + Frame(0x1B, "") + bad + Bytes({0xA5, 0x1E});
  Rig rig(&script);
  rig.Open("");
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Failed);
  ASSERT_EQ(rig.ui.messages.size(), 1u);
  EXPECT_EQ(rig.ui.messages[0].text, "接收电话本文件出错！4");
  EXPECT_EQ(rig.ui.messages[0].caption, kFramework);
  EXPECT_EQ(ReadFile(rig.files.store), Store(""));
}

TEST(ReceivePhonebook, EndMarkInsideADataFrameEndsAtOnce) {
  const std::string two = Repeat(0x10, 5) + "Ann" + std::string(8, ' ') + kNoMobile + kEnd + Repeat(0x10, 5) + "Tom" +
                          std::string(8, ' ') + kNoMobile + kEnd;
  const std::string script =
      Frame(0x4C, "") + Frame(0x1B, "") + Bytes({0xA5, 0xF9}) + two + Bytes({0x1E}) + std::string(50, ' ');
  Rig rig(&script);
  rig.Open(Rec("Zoe"));
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Done);
  EXPECT_EQ(rig.reader->PendingGive(), 50u);                                    // nothing after the 0x1E was taken
  EXPECT_EQ(ReadFile(rig.files.tmp), "");                                       // the cut frame is not kept
  EXPECT_EQ(rig.ui.Fake(ProgressKind::Phonebook)->bars[Bar::Overall].high, 2);  // its ten 0x10 still count
  EXPECT_EQ(ReadFile(rig.files.store), Store(Rec("Zoe")));
}

TEST(ReceivePhonebook, SilentReaderGivesTheByteAndFrameMessages) {
  const std::string script;
  Rig rig(&script);
  rig.Open("");
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Failed);
  ASSERT_EQ(rig.ui.messages.size(), 2u);
  EXPECT_EQ(rig.ui.messages[0].text, "接收字节错误 2 !");
  EXPECT_EQ(rig.ui.messages[0].caption, kCaption);
  EXPECT_EQ(rig.ui.messages[1].text, "接收电话本索引文件出错！1");
  EXPECT_EQ(rig.ui.messages[1].caption, kFramework);
  rig.ExpectFinished();
}

TEST(ReceivePhonebook, ReaderThatNeverStartsAFrameIsGivenUp) {
  // Bytes other than 0xA5 are skipped while waiting for a frame, but not
  // for ever: 65536 of them end the receive with the frame message.
  const std::string script = Repeat(0x00, 65536) + Frame(0x4C, "");
  Rig rig(&script);
  rig.Open("");
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Failed);
  EXPECT_EQ(rig.ui.Texts(), std::vector<std::string>{"接收电话本索引文件出错！1"});
  EXPECT_EQ(ReadFile(rig.files.store), Store(""));
  rig.ExpectFinished();
}

TEST(ReceivePhonebook, ReplaceAllReplacesEveryLaterDuplicateWithoutAsking) {
  Rig rig;
  rig.Open(Rec("Cid", "1") + Rec("Ann", "1") + Rec("Bob", "1"));
  rig.Seed(Rec("Ann", "2") + Rec("Bob", "2") + Rec("Cid", "2") + Rec("Dan"), {"Ann", "Bob", "Cid", "Dan"});
  rig.ui.duplicateAnswers = {3};
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Done);
  EXPECT_EQ(rig.ui.duplicateNames, (std::vector<std::string>{"Ann"}));
  EXPECT_EQ(ReadFile(rig.files.store), Store(Rec("Cid", "2") + Rec("Ann", "2") + Rec("Bob", "2") + Rec("Dan")));
  EXPECT_EQ(rig.list.Texts(), (std::vector<std::string>{" Ann", " Bob", " Cid", " Dan"}));
  EXPECT_EQ(rig.ui.Fake(ProgressKind::Phonebook)->bars[Bar::Overall].steps, 3 + 4);
}

TEST(ReceivePhonebook, ReceivedRecordsKeepTheRulesOfTheRecordDialog) {
  Rig rig;
  rig.Open(Rec("Ann", "1"));
  const MergeResult merged = rig.exchange->MergeRecords(
      Rec("") + Rec("Big", std::string(20000, '1')) + Rec("Li\r\nSi", "2") + Rec("\r\n", "3") + Rec("Wu\x07", "4"),
      Store(Rec("Ann", "1")));
  EXPECT_EQ(merged.store, Store(Rec("Ann", "1") + Rec("LiSi", "2") + Rec("Wu", "4")));
  EXPECT_EQ(StoreDamage(merged.store), 0);
  EXPECT_EQ(merged.refused, (std::vector<std::string>{"（姓名为空）", "Big（记录太长）", "（姓名为空）"}));
  EXPECT_EQ(rig.list.Texts(), (std::vector<std::string>{" Ann", " LiSi", " Wu"}));
}

TEST(ReceivePhonebook, CancelLeavesStoreAndListAsTheyWere) {
  Rig rig;
  const std::string before = Store(Rec("Cid", "1") + Rec("Ann", "1"));
  WriteFile(rig.files.store, before);
  ASSERT_TRUE(LoadPhonebookList(rig.files, rig.list, rig.ui));
  rig.Seed(Rec("Ann", "2") + Rec("Bob") + Rec("Cid", "2"), {"Ann", "Bob", "Cid"});
  rig.ui.duplicateAnswers = {2, 4};  // skip Ann, Bob is new, cancel at Cid
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Cancelled);
  EXPECT_EQ(rig.ui.duplicateNames, (std::vector<std::string>{"Ann", "Cid"}));
  EXPECT_EQ(ReadFile(rig.files.store), before);
  EXPECT_EQ(rig.list.Texts(), (std::vector<std::string>{" Ann", " Cid"}));
  EXPECT_TRUE(rig.ui.messages.empty());
  rig.ExpectFinished();
}

TEST(ReceivePhonebook, ClosingThePromptRepeatsThePreviousChoice) {
  Rig rig;
  rig.Open(Rec("Ann", "1") + Rec("Cid", "1"));
  rig.Seed(Rec("Ann", "2") + Rec("Cid", "2"), {"Ann", "Cid"});
  rig.ui.duplicateAnswers = {1, 0};
  EXPECT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Done);
  EXPECT_EQ(rig.ui.duplicateNames.size(), 2u);
  EXPECT_EQ(ReadFile(rig.files.store), Store(Rec("Ann", "2") + Rec("Cid", "2")));

  // Closed at the first question: the prompt starts out on cancel.
  Rig first;
  first.Open(Rec("Ann", "1"));
  first.Seed(Rec("Ann", "2"), {"Ann"});
  first.ui.duplicateAnswers = {0};
  EXPECT_EQ(first.exchange->ReceivePhonebook(), PhonebookResult::Cancelled);
  EXPECT_EQ(ReadFile(first.files.store), Store(Rec("Ann", "1")));
}

TEST(MergeRecords, IdenticalRecordsAskNothingAndMalformedOnesAreSkipped) {
  Rig rig;
  rig.Open(Rec("Ann", "1"));
  // A record the store holds field for field is no conflict.
  const MergeResult merged = rig.exchange->MergeRecords(Rec("Ann", "1") + Rec("Bob", "2"), Store(Rec("Ann", "1")));
  EXPECT_TRUE(rig.ui.duplicateNames.empty());
  EXPECT_EQ(merged.store, Store(Rec("Ann", "1") + Rec("Bob", "2")));
  // A received record that lacks a marker never reaches the store.
  const MergeResult bad = rig.exchange->MergeRecords(
      "\x10"
      "Eve\x11\x12\x13\x1B",
      Store(""));
  EXPECT_EQ(bad.store, Store(""));
  EXPECT_EQ(bad.skipped, 1);
  const MergeResult fresh = rig.exchange->MergeRecords(Rec("Bob", "3"), Store(""));
  EXPECT_EQ(fresh.store, Store(Rec("Bob", "3")));
  EXPECT_EQ(fresh.added, 1);
}

TEST(ClearReaderPhonebook, ErasesAfterYesAndSendsNothingAfterNo) {
  Rig rig;
  rig.Seed(Rec("Ann"), {"Ann"});
  rig.ui.answers.push_back(Answer::No);
  EXPECT_EQ(rig.exchange->ClearReaderPhonebook(), PhonebookResult::Cancelled);
  EXPECT_TRUE(rig.reader->Received().empty());
  ASSERT_FALSE(rig.ui.messages.empty());
  EXPECT_EQ(rig.ui.messages[0].text, "确认是否清空卓卷电子书中的电话本?");
  EXPECT_EQ(rig.ui.messages[0].buttons, Buttons::YesNo);

  rig.ui.answers.push_back(Answer::Yes);
  EXPECT_EQ(rig.exchange->ClearReaderPhonebook(), PhonebookResult::Done);
  EXPECT_EQ(Received(rig), LinkOpening(0x9B));
  EXPECT_FALSE(std::filesystem::exists(rig.dir.Path("reader/phonebook/data.bin")));
  EXPECT_EQ(rig.ui.messages.back().text, "电话本数据已被清空！");
  EXPECT_EQ(rig.ui.messages.back().icon, Icon::Information);
  EXPECT_TRUE(rig.ui.Enabled(Window::Phonebook));
}

TEST(PhonebookEndToEnd, ChineseRecordsComeBackAsTheyWent) {
  Rig rig;
  rig.Open("");
  std::vector<PhonebookRecord> people(3);
  people[0].name = "张三";
  people[0].mobile = "13912345678";
  people[0].note = "老同学\n住在北京";
  people[1].name = "李四";
  people[1].companyName = "卓卷公司";
  people[1].email = "li@example.com";
  people[2].name = "Wang 五";
  people[2].address = "上海市 南京路 100号";
  for (const auto& p : people) {
    const SaveOutcome out = SaveRecordUtf8(p, EditMode::Add, "", rig.files.store, rig.ui);
    ASSERT_TRUE(out.saved);
    AfterAdd(rig.list, out);
  }
  const std::string original = ReadFile(rig.files.store);
  ASSERT_EQ(rig.exchange->SendPhonebook(), PhonebookResult::Done);

  WriteFile(rig.files.store, Store(""));
  ASSERT_TRUE(LoadPhonebookList(rig.files, rig.list, rig.ui));
  ASSERT_EQ(rig.exchange->ReceivePhonebook(), PhonebookResult::Done);

  const std::string text = ReadFile(rig.files.store);
  EXPECT_EQ(text.size(), original.size());
  ASSERT_EQ(rig.list.Size(), 3u);
  for (const auto& p : people) {
    std::string name;
    ASSERT_TRUE(Utf8ToGbk(p.name, name));
    const auto back = ParseRecord(text, name);
    ASSERT_TRUE(back) << p.name;
    PhonebookRecord expected = p;
    expected.note = p.note == "老同学\n住在北京" ? "老同学住在北京" : p.note;
    EXPECT_EQ(RecordToUtf8(*back), expected);
  }
}

}  // namespace
}  // namespace quirel
