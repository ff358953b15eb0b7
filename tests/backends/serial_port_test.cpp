// The USB adapter backend against a scripted adapter on the far end of a
// pseudo-terminal. The expected wire bytes are built here from the frame
// rules, with a CRC of the test's own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "adapter/protocol.h"
#include "link/serial_port.h"

namespace quirel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Outcome = LinkEngine::SendOutcome;

template <class T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
std::uint8_t Crc8(const Bytes& bytes) {
  unsigned crc = 0;
  for (auto b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = ((crc << 1) ^ ((crc & 0x80) ? 0x07 : 0)) & 0xFF;
  }
  return static_cast<std::uint8_t>(crc);
}
Bytes Frame(std::uint8_t type, const Bytes& payload) {
  const Bytes body = Bytes{type, std::uint8_t(payload.size() & 0xFF), std::uint8_t(payload.size() >> 8)} + payload;
  return Bytes{0xA5} + body + Bytes{Crc8(body)};
}
Bytes Hello(std::uint8_t major, std::uint8_t minor) { return Frame(0x81, {'Q', 'A', major, minor, 0x00, 0x02}); }
Bytes Series(std::size_t n, std::size_t from = 0) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t((from + i) * 7);
  return b;
}
const Bytes kHelloRequest = {0xA5, 0x01, 0x00, 0x00, Crc8({0x01, 0x00, 0x00})};

// What the adapter does on a request: keep-alives 30 ms apart, then an
// answer (none: silence), or it hangs up.
struct Reply {
  Reply(Bytes b = {}, int keepAlive = 0, bool hang = false)
      : bytes(std::move(b)), keepAlives(keepAlive), hangUp(hang) {}
  Bytes bytes;
  int keepAlives;
  bool hangUp;
};
const Reply kHangUp({}, 0, true);

// Reads each request frame whole and plays the next reply; past the script
// it reads on, answering nothing, until the port closes its end.
class FakeAdapter {
 public:
  explicit FakeAdapter(std::vector<Reply> script) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    termios raw{};
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::tcgetattr(master_, &raw) != 0)
      std::abort();
    ::cfmakeraw(&raw);
    ::tcsetattr(master_, TCSANOW, &raw);
    device_ = ::ptsname(master_);
    thread_ = std::thread([this, script = std::move(script)] { Play(script); });
  }
  ~FakeAdapter() {
    Requests();
    if (master_ >= 0) ::close(master_);
  }
  const std::string& device() const { return device_; }
  // Every request, once the port has closed its end.
  const std::vector<Bytes>& Requests() {
    if (thread_.joinable()) thread_.join();
    return requests_;
  }

 private:
  void Play(const std::vector<Reply>& script) {
    for (std::size_t i = 0;; ++i) {
      Bytes frame(4);
      std::size_t have = 0;
      for (std::uint8_t b; have < frame.size() && ::read(master_, &b, 1) == 1;) {
        if (have > 0 || b == 0xA5) frame[have++] = b;
        if (have == 4) frame.resize(5 + std::size_t(frame[2] | frame[3] << 8));
      }
      if (have < frame.size()) return;
      requests_.push_back(frame);
      if (i >= script.size()) continue;
      for (int k = 0; k < script[i].keepAlives; ++k) {
        if (::write(master_, "", 1) != 1) return;  // QA_KEEPALIVE
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
      }
      if (script[i].hangUp) {
        ::close(master_);
        master_ = -1;
        return;
      }
      const Bytes& reply = script[i].bytes;
      if (!reply.empty() && ::write(master_, reply.data(), reply.size()) != ssize_t(reply.size())) return;
    }
  }

  int master_ = -1;
  std::string device_;
  std::vector<Bytes> requests_;
  std::thread thread_;
};

// A dropped port reads 0 (so the detection fails), sends nothing and fails
// the byte operations at once.
void ExpectDropped(SerialPort& port, const std::string& device, const char* problem) {
  EXPECT_TRUE(!port.usable() && port.Engine() == nullptr);
  EXPECT_NE(port.problem().find(device), std::string::npos) << port.problem();
  EXPECT_NE(port.problem().find(problem), std::string::npos) << port.problem();
  port.WritePortByte(0x378, 5);
  EXPECT_EQ(port.ReadPortByte(0x378) | port.ReadPortByte(0x379), 0x00);
  std::size_t sent = 9, taken = 9;
  std::uint8_t byte = 0;
  EXPECT_EQ(port.SendBytes(&byte, 1, false, sent), Outcome::kTimedOut);
  EXPECT_EQ(port.TakeBytes(3, &byte, 1, taken), 1);
  EXPECT_EQ(sent + taken, 0u);
}

TEST(SerialHello, ReachesTheFirmwarePastResetsAndNoise) {
  struct Case {
    const char* name;
    std::vector<Reply> script;
    int budgetMs;
    std::size_t hellos;
    std::string version;
    const char* problem = nullptr;  // nullptr: usable
  };
  const Case cases[] = {
      {"after a silent reset", {{}, Hello(1, 2)}, 3000, 2, "1.2"},
      {"after noise", {Bytes{0x00, 0xFF, 0xA5, 0x13, 0xF0} + Frame(0x7F, {1, 0x33}) + Hello(1, 0)}, 3000, 1, "1.0"},
      {"after a false sync of a long length", {Bytes{0xA5, 0x13, 0xFF, 0x01} + Hello(1, 0)}, 3000, 1, "1.0"},
      {"of another major version", {Hello(2, 0)}, 3000, 1, "2.0", "1.0"},
      {"never", {}, 200, 1, "", "does not answer"},
      {"unplugged", {kHangUp}, 3000, 1, "", "unplugged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeAdapter adapter(c.script);
    {
      SerialPort port(adapter.device(), c.budgetMs);
      EXPECT_EQ(port.Version(), c.version);
      EXPECT_EQ(port.Engine(), c.problem ? nullptr : &port) << port.problem();
      if (c.problem != nullptr) ExpectDropped(port, adapter.device(), c.problem);
      EXPECT_NE(port.problem().find(c.problem ? c.version : ""), std::string::npos);
    }
    EXPECT_EQ(adapter.Requests(), std::vector<Bytes>(c.hellos, kHelloRequest));
  }
}

TEST(SerialRegisters, OnlyDataWritesAndStatusReadsReachTheAdapter) {
  ASSERT_EQ(Crc8({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0xF4);  // the standard check value
  FakeAdapter adapter({Hello(1, 0), Frame(0x82, {}), Frame(0x83, {0x60})});
  {
    SerialPort port(adapter.device());
    port.WritePortByte(0x378, 5);
    port.WritePortByte(0x37A, 0x0C);
    port.WritePortByte(0x379, 1);
    port.WritePortByte(0x278, 5);
    EXPECT_EQ(
        Bytes({port.ReadPortByte(0x378), port.ReadPortByte(0x379), port.ReadPortByte(0x37A), port.ReadPortByte(0x278)}),
        Bytes({5, 0x60, 0x0C, 0xFF}));
  }
  const Bytes write = {0xA5, 0x02, 0x01, 0x00, 0x05, Crc8({0x02, 0x01, 0x00, 0x05})};
  EXPECT_EQ(adapter.Requests(), (std::vector<Bytes>{kHelloRequest, write, Frame(0x03, {})}));
}

TEST(SerialEngine, SendsInFramesAndStopsAtTheFirstFailure) {
  const Bytes all511 = Frame(0x90, {0xFF, 0x01, QA_OK});
  struct Case {
    bool presence;
    std::vector<Reply> answers;
    Outcome outcome;
    std::size_t sent;
  };
  const Case cases[] = {
      {false, {all511, Frame(0x90, {0xE9, 0x01, QA_OK})}, Outcome::kSent, 1000},
      {false, {all511, Frame(0x90, {100, 0, QA_TIMED_OUT})}, Outcome::kTimedOut, 611},
      {true, {Frame(0x90, {7, 0, QA_READER_OFF})}, Outcome::kReaderOff, 7},
  };
  const Bytes data = Series(1000);
  for (const auto& c : cases) {
    FakeAdapter adapter(std::vector<Reply>{Hello(1, 0)} + c.answers);
    {
      SerialPort port(adapter.device());
      std::size_t sent = 0;
      EXPECT_EQ(port.SendBytes(data.data(), data.size(), c.presence, sent), c.outcome);
      EXPECT_EQ(sent, c.sent);
    }
    const std::uint8_t flags = c.presence ? 1 : 0;
    std::vector<Bytes> expected = {kHelloRequest, Frame(0x10, Bytes{flags} + Series(511))};
    if (c.answers.size() == 2) expected.push_back(Frame(0x10, Bytes{flags} + Series(489, 511)));
    EXPECT_EQ(adapter.Requests(), expected);
  }
}

TEST(SerialEngine, TakesInFramesAndReportsTheWaitThatFailed) {
  FakeAdapter adapter(
      {Hello(1, 0), Frame(0x91, Bytes{QA_OK} + Series(511)), Frame(0x91, Bytes{QA_TAKE_WAIT_FOR_0} + Series(10, 511))});
  {
    SerialPort port(adapter.device());
    Bytes bytes(600);
    std::size_t taken = 0;
    EXPECT_EQ(port.TakeBytes(7, bytes.data(), bytes.size(), taken), 2);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken)), Series(521));
  }
  EXPECT_EQ(adapter.Requests(),
            (std::vector<Bytes>{kHelloRequest, Frame(0x11, {7, 0xFF, 0x01}), Frame(0x11, {7, 0x59, 0x00})}));
}

TEST(SerialAnswers, RefusalsAreResentOnceAndAnythingElseWrongDropsThePort) {
  const Bytes status = Frame(0x83, {0x60}), refused = Frame(0x7F, {QA_BAD_CRC, 0x03});
  Bytes corrupt = status;
  corrupt.back() ^= 1;
  struct Case {
    const char* name;
    std::vector<Reply> answers;
    int replyTimeoutMs;
    std::size_t statusRequests;
    const char* problem = nullptr;  // nullptr: the status came through
  };
  const Case cases[] = {
      {"keep-alives hold the answer open", {Reply(status, 8)}, 100, 1},
      {"a late hello answer first", {Hello(1, 0) + status}, 2000, 1},
      {"a bad check byte, then the answer", {refused, status}, 2000, 2},
      {"a bad check byte twice", {refused, refused}, 2000, 2, "refused"},
      {"an unknown request", {Frame(0x7F, {QA_UNKNOWN_TYPE, 0x03})}, 2000, 1, "refused"},
      {"a corrupt answer", {corrupt}, 2000, 1, "wrong answer"},
      {"the answer of another request", {Frame(0x82, {})}, 2000, 1, "wrong answer"},
      {"an answer of the wrong length", {Frame(0x83, {0x60, 0x00})}, 2000, 1, "wrong answer"},
      {"silence", {Reply()}, 50, 1, "stopped answering"},
      {"unplugged", {kHangUp}, 2000, 1, "unplugged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeAdapter adapter(std::vector<Reply>{Hello(1, 0)} + c.answers);
    {
      SerialPort port(adapter.device());
      port.SetReplyTimeout(c.replyTimeoutMs);
      EXPECT_EQ(port.ReadPortByte(0x379), c.problem ? 0x00 : 0x60);
      if (c.problem != nullptr) ExpectDropped(port, adapter.device(), c.problem);
    }
    EXPECT_EQ(adapter.Requests(),
              std::vector<Bytes>{kHelloRequest} + std::vector<Bytes>(c.statusRequests, Frame(0x03, {})));
  }
}

TEST(SerialTargets, AreSerialAndAnAbsolutePath) {
  std::string error;
  for (const char* good : {"serial:/dev/ttyUSB0", "serial:/tmp/pty"}) EXPECT_TRUE(SerialPort::ValidTarget(good, error));
  for (const char* bad : {"serial:", "serial:ttyUSB0", "/dev/ttyUSB0", "bridge:/dev/ttyUSB0"})
    EXPECT_FALSE(SerialPort::ValidTarget(bad, error)) << bad;
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quirel
