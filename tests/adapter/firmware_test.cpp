// The adapter's firmware, run in simavr, spoken to in raw frames through its
// pseudo-terminal, with the virtual reader on the other end of the cable.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "adapter/protocol.h"
#include "link/link.h"
#include "reader/virtual_reader.h"
#include "tests/adapter/simulated_adapter.h"
#include "tests/support/fake_ui.h"
#include "tests/support/strict_reader.h"

namespace quirel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Frame(std::uint8_t type, const Bytes& payload) {
  Bytes frame{QA_SYNC, type, static_cast<std::uint8_t>(payload.size()), static_cast<std::uint8_t>(payload.size() >> 8)};
  frame.insert(frame.end(), payload.begin(), payload.end());
  std::uint8_t crc = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) crc = qa_crc8_step(crc, frame[i]);
  frame.push_back(crc);
  return frame;
}

// What the reader saw of the cable: every data value written, in order,
// and how often the status register was read.
struct Trace {
  Bytes writes;
  long long reads = 0;
};

// Which status reads (counted from 1) a noisy cable turns bit 5 over on.
using Glitch = std::function<bool(long long read)>;

// Passes everything on to the reader, through a noisy cable when asked. It
// never claims a steady status, as hardware does not, so the link polls it
// as often as the adapter must.
class Recorder final : public Port {
 public:
  Recorder(Port& inner, Glitch glitch) : inner_(inner), glitch_(std::move(glitch)) {}
  std::uint8_t ReadPortByte(std::uint16_t address) override {
    std::uint8_t value = inner_.ReadPortByte(address);
    if (address != 0x379) return value;
    ++trace.reads;
    if (glitch_ && glitch_(trace.reads)) value ^= kStatusAck;
    return value;
  }
  void WritePortByte(std::uint16_t address, std::uint8_t value) override {
    if (address == 0x378) trace.writes.push_back(value);
    inner_.WritePortByte(address, value);
  }
  Trace trace;

 private:
  Port& inner_;
  Glitch glitch_;
};

struct Answer {
  int type = -1;  // -1: no whole frame came
  Bytes payload;
  bool crcOk = false;
  int keepalives = 0;  // QA_KEEPALIVE bytes before the frame
};

class AdapterTest : public ::testing::Test {
 protected:
  void Start(reader::ReaderOptions options = testing::StrictOptions(), Glitch glitch = {}) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    adapter_.reset();
    reader_ = std::make_unique<reader::VirtualReader>(options);
    recorder_ = std::make_unique<Recorder>(*reader_, std::move(glitch));
    adapter_ = std::make_unique<testing::SimulatedAdapter>(QUIREL_ADAPTER_ELF, *recorder_);
    ASSERT_TRUE(adapter_->running()) << adapter_->why();
    fd_ = ::open(adapter_->devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    adapter_.reset();
  }

  void Write(const Bytes& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

  int Next() {
    // Only a guard against a hung firmware, never a measure of its speed.
    pollfd fd{fd_, POLLIN, 0};
    std::uint8_t byte = 0;
    if (::poll(&fd, 1, 60'000) <= 0 || ::read(fd_, &byte, 1) != 1) return -1;
    return byte;
  }

  Answer Read() {
    Answer answer;
    int b = Next();
    for (; b != QA_SYNC; b = Next()) {
      if (b < 0) return answer;
      if (b == QA_KEEPALIVE) ++answer.keepalives;
    }
    const int type = Next(), low = Next(), high = Next();
    if (type < 0 || low < 0 || high < 0) return answer;
    std::uint8_t crc = 0;
    for (int h : {type, low, high}) crc = qa_crc8_step(crc, static_cast<std::uint8_t>(h));
    for (int i = 0; i < (low | high << 8); ++i) {
      if ((b = Next()) < 0) return answer;
      answer.payload.push_back(static_cast<std::uint8_t>(b));
      crc = qa_crc8_step(crc, static_cast<std::uint8_t>(b));
    }
    answer.crcOk = Next() == crc;
    answer.type = type;
    return answer;
  }

  Answer Ask(std::uint8_t type, const Bytes& payload) {
    Write(Frame(type, payload));
    return Read();
  }

  void ExpectHello() {
    const Answer hello = Ask(QA_HELLO, {});
    EXPECT_EQ(hello.type, QA_HELLO | QA_ANSWER);
    EXPECT_TRUE(hello.crcOk);
    EXPECT_EQ(hello.payload, (Bytes{'Q', 'A', QA_VERSION_MAJOR, QA_VERSION_MINOR, 0x00, 0x02}));
  }

  std::unique_ptr<reader::VirtualReader> reader_;
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<testing::SimulatedAdapter> adapter_;
  int fd_ = -1;
};

TEST(SimulatedAdapter, SaysWhyWithoutFirmware) {
  reader::VirtualReader reader{reader::ReaderOptions{}};
  const testing::SimulatedAdapter adapter("/nonexistent/quirel-adapter.elf", reader);
  EXPECT_FALSE(adapter.running());
  EXPECT_NE(adapter.why().find("/nonexistent/quirel-adapter.elf"), std::string::npos);
}

TEST_F(AdapterTest, RefusesBadFramesAndAnswersTheNextOne) {
  Start();
  Bytes badCrc = Frame(QA_HELLO, {});
  badCrc.back() ^= 0x5A;
  Bytes noiseFirst{0x00, 0x13, 0x7E};
  const Bytes unknown = Frame(0x42, {});
  noiseFirst.insert(noiseFirst.end(), unknown.begin(), unknown.end());
  const struct {
    const char* what;
    Bytes frame;
    std::uint8_t code;
    std::uint8_t type;
  } cases[] = {
      {"bad crc", badCrc, QA_BAD_CRC, QA_HELLO},
      {"unknown type after noise", noiseFirst, QA_UNKNOWN_TYPE, 0x42},
      {"hello with a payload", Frame(QA_HELLO, {1}), QA_BAD_LENGTH, QA_HELLO},
      {"write without a value", Frame(QA_WRITE_DATA, {}), QA_BAD_LENGTH, QA_WRITE_DATA},
      {"send without bytes", Frame(QA_SEND, {0}), QA_BAD_LENGTH, QA_SEND},
      {"send longer than the adapter keeps", Frame(QA_SEND, Bytes(600, 0x33)), QA_BAD_LENGTH, QA_SEND},
      {"take of nothing", Frame(QA_TAKE, {3, 0, 0}), QA_BAD_LENGTH, QA_TAKE},
      {"take of more than an answer holds", Frame(QA_TAKE, {3, 0x00, 0x02}), QA_BAD_LENGTH, QA_TAKE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write(c.frame);
    const Answer error = Read();
    EXPECT_EQ(error.type, QA_ERROR);
    EXPECT_TRUE(error.crcOk);
    EXPECT_EQ(error.payload, (Bytes{c.code, c.type}));
    ExpectHello();
  }
  adapter_->Access([&] { EXPECT_TRUE(reader_->Received().empty()); });
}

TEST_F(AdapterTest, DropsAFrameTheHostStoppedWriting) {
  Start();
  Write({QA_SYNC, QA_HELLO, 0x00});
  // Without the drop the next frame's first bytes would be taken as the
  // rest of this one's length, and no answer would ever come.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  ExpectHello();
}

TEST_F(AdapterTest, SendsEveryByteInOrderKeepingTheHandshake) {
  Start();
  Bytes bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<std::uint8_t>(b));
  for (int b = 254; b >= 0; --b) bytes.push_back(static_cast<std::uint8_t>(b));
  ASSERT_EQ(bytes.size(), QA_MAX_PAYLOAD - 1u);
  for (std::uint8_t flags : Bytes{0, QA_SEND_PRESENCE}) {
    Bytes payload{flags};
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    const Answer sent = Ask(QA_SEND, payload);
    EXPECT_EQ(sent.type, QA_SEND | QA_ANSWER);
    EXPECT_EQ(sent.payload, (Bytes{0xFF, 0x01, QA_OK}));
    adapter_->Access([&] {
      EXPECT_EQ(reader_->Received(), bytes);
      testing::ExpectHandshakesKept(*reader_);
      reader_->ClearReceived();
    });
  }
}

TEST_F(AdapterTest, SendToAReaderThatIsOff) {
  reader::ReaderOptions off = testing::StrictOptions();
  off.off = true;
  Start(off);
  const struct {
    std::uint8_t flags;
    std::uint8_t outcome;
    double minSeconds, maxSeconds;
  } cases[] = {
      {QA_SEND_PRESENCE, QA_READER_OFF, 0.0, 0.01},
      // 1001 sleeps of a millisecond and 3002 polls before each.
      {0, QA_TIMED_OUT, 0.5, 3.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    const double start = adapter_->simulatedSeconds();
    const Answer failed = Ask(QA_SEND, {c.flags, 0x42, 0x43});
    const double seconds = adapter_->simulatedSeconds() - start;
    EXPECT_EQ(failed.payload, (Bytes{0, 0, c.outcome}));
    EXPECT_GE(seconds, c.minSeconds);
    EXPECT_LE(seconds, c.maxSeconds);
    EXPECT_GE(failed.keepalives, static_cast<int>(seconds / 0.25));
  }
}

TEST_F(AdapterTest, TakesWhatTheReaderGives) {
  Start();
  Bytes given;
  for (int i = 0; i < 300; ++i) given.push_back(static_cast<std::uint8_t>(i * 37 + 5));
  adapter_->Access([&] { reader_->Give(given); });
  const Answer taken = Ask(QA_TAKE, {3, 300 & 0xFF, 300 >> 8});
  EXPECT_EQ(taken.type, QA_TAKE | QA_ANSWER);
  Bytes expected{QA_OK};
  expected.insert(expected.end(), given.begin(), given.end());
  EXPECT_EQ(taken.payload, expected);
  adapter_->Access([&] { testing::ExpectHandshakesKept(*reader_); });
}

TEST_F(AdapterTest, WritesTheDataLinesAndReadsTheStatusLines) {
  Start(reader::ReaderOptions{});
  auto status = [&] {
    const Answer answer = Ask(QA_READ_STATUS, {});
    EXPECT_EQ(answer.type, QA_READ_STATUS | QA_ANSWER);
    return answer.payload.size() == 1 ? answer.payload[0] : -1;
  };
  auto write = [&](std::uint8_t value) {
    const Answer answer = Ask(QA_WRITE_DATA, {value});
    EXPECT_EQ(answer.type, QA_WRITE_DATA | QA_ANSWER);
    EXPECT_TRUE(answer.payload.empty());
  };
  EXPECT_EQ(status(), 0x60);
  write(0xF5);  // only D0..D4 exist: the reader takes 0x15, a high nibble
  adapter_->Access([&] { EXPECT_EQ(reader_->ReadPortByte(0x378), 0x15); });
  EXPECT_EQ(status(), 0x40);  // bit 5 down for the nibble
  write(0x05);
  EXPECT_EQ(status(), 0x60);
  adapter_->Access([&] {
    EXPECT_EQ(reader_->Received(), Bytes{0xAA});
    reader_->Give(0x00);
  });
  write(0x0F);  // the first step of a byte given: bit 0 on bit 6, bit 5 down
  EXPECT_EQ(status(), 0x00);
  write(0x0E);
  EXPECT_EQ(status(), 0x20);
}

// The adapter on the cable is the link on the cable: the same values
// written, the same number of status reads, the same outcome.
TEST_F(AdapterTest, DoesWhatTheLinkDoes) {
  reader::ReaderOptions slow = testing::StrictOptions();
  slow.slow = 7;
  reader::ReaderOptions off;
  off.off = true;
  reader::ReaderOptions silent = testing::StrictOptions();
  silent.silentAfter = 2;
  const Glitch everyFifth = [](long long read) { return read % 5 == 0; };
  const Glitch everySeventh = [](long long read) { return read % 7 == 0; };
  const Glitch onceInALongWait = [](long long read) { return read == 1'500'000; };
  const struct {
    const char* what;
    reader::ReaderOptions options;
    Bytes send;  // sent when not empty, else take
    bool presence;
    Bytes give;
    int take;
    std::uint8_t lowConfirmations;
    Glitch glitch = {};
  } cases[] = {
      {"send", testing::StrictOptions(), {0x00, 0x5A, 0xFF}, false, {}, 0, 0},
      {"send to a slow reader, presence checked", slow, {0x3C, 0xC3}, true, {}, 0, 0},
      {"send to a reader that is off, presence checked", off, {0x01}, true, {}, 0, 0},
      {"send to a reader that is off", off, {0x01}, false, {}, 0, 0},
      {"send to a reader that falls silent", silent, {0x11, 0x22, 0x33}, false, {}, 0, 0},
      {"take from a slow reader", slow, {}, false, {0x12, 0xEF}, 2, 5},
      {"take more than is given", testing::StrictOptions(), {}, false, {0x42}, 2, 3},
      // Consecutive hits start over at a glitch, cumulative ones do not.
      {"send on a noisy cable", slow, {0x77, 0x88, 0x99}, true, {}, 0, 0, everyFifth},
      {"take on a noisy cable", slow, {}, false, {0xA5, 0x5A}, 2, 5, everySeventh},
      // One hit in the middle of a long wait starts its count of sleeps over.
      {"send to a reader that is off, one glitch", off, {0x01}, false, {}, 0, 0, onceInALongWait},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reader::VirtualReader reader(c.options);
    reader.Give(c.give);
    Recorder viaLink(reader, c.glitch);
    VirtualClock clock;
    testing::FakeUi ui;
    Link link(viaLink, clock, ui);
    Bytes expected;
    if (!c.send.empty()) {
      std::size_t sent = 0;
      LinkResult result = LinkResult::kDone;
      for (; sent < c.send.size(); ++sent) {
        result = c.presence ? link.SendProbeByte(c.send[sent]) : link.SendByte(c.send[sent]);
        if (result != LinkResult::kDone) break;
      }
      const std::uint8_t outcome = result == LinkResult::kDone ? QA_OK : link.linkLost ? QA_READER_OFF : QA_TIMED_OUT;
      expected = {static_cast<std::uint8_t>(sent), 0, outcome};
    } else {
      expected = {QA_OK};
      for (int i = 0; i < c.take; ++i) {
        std::uint8_t byte = 0;
        const int failed = ShiftInByte(viaLink, clock, link.ports, c.lowConfirmations, byte);
        expected[0] = static_cast<std::uint8_t>(failed);
        if (failed != 0) break;
        expected.push_back(byte);
      }
    }

    Start(c.options, c.glitch);
    adapter_->Access([&] { reader_->Give(c.give); });
    Bytes request;
    if (!c.send.empty()) {
      request = {c.presence ? std::uint8_t{QA_SEND_PRESENCE} : std::uint8_t{0}};
      request.insert(request.end(), c.send.begin(), c.send.end());
    } else {
      request = {c.lowConfirmations, static_cast<std::uint8_t>(c.take), 0};
    }
    const Answer answer = Ask(c.send.empty() ? QA_TAKE : QA_SEND, request);
    EXPECT_EQ(answer.payload, expected);
    adapter_->Access([&] {
      EXPECT_EQ(recorder_->trace.writes, viaLink.trace.writes);
      EXPECT_EQ(recorder_->trace.reads, viaLink.trace.reads);
      EXPECT_EQ(reader_->Received(), reader.Received());
      EXPECT_EQ(reader_->Violations(), reader.Violations());
    });
  }
}

}  // namespace
}  // namespace quirel
