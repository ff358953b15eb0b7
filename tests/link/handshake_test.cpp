#include <gtest/gtest.h>

#include <vector>

#include "link/link.h"
#include "reader/virtual_reader.h"
#include "resources/messages.h"
#include "tests/support/fake_ui.h"
#include "tests/support/strict_reader.h"

namespace quirel {
namespace {

// Records every write to the data register, passing everything on.
class Recorder final : public Port {
 public:
  explicit Recorder(Port& inner) : inner_(inner) {}
  std::uint8_t ReadPortByte(std::uint16_t a) override {
    ++reads;
    return inner_.ReadPortByte(a);
  }
  void WritePortByte(std::uint16_t a, std::uint8_t v) override {
    if (a == 0x378) data.push_back(v);
    inner_.WritePortByte(a, v);
  }
  std::vector<std::uint8_t> data;
  long long reads = 0;

 private:
  Port& inner_;
};

struct Rig {
  reader::VirtualReader reader{testing::StrictOptions()};
  Recorder port{reader};
  VirtualClock clock;
  testing::FakeUi ui;
  Link link{port, clock, ui};
  ~Rig() { testing::ExpectHandshakesKept(reader); }
};

TEST(SendByte, PutsComplementedNibblesOnTheDataLines) {
  Rig rig;
  ASSERT_EQ(rig.link.SendByte(0x5A), LinkResult::kDone);
  EXPECT_EQ(rig.port.data, (std::vector<std::uint8_t>{0x00, 0x1A, 0x05}));
  rig.port.data.clear();
  ASSERT_EQ(rig.link.SendByte(0x00), LinkResult::kDone);
  EXPECT_EQ(rig.port.data, (std::vector<std::uint8_t>{0x00, 0x1F, 0x0F}));
  rig.port.data.clear();
  ASSERT_EQ(rig.link.SendByte(0xFF), LinkResult::kDone);
  EXPECT_EQ(rig.port.data, (std::vector<std::uint8_t>{0x00, 0x10, 0x00}));
  EXPECT_EQ(rig.reader.Received(), (std::vector<std::uint8_t>{0x5A, 0x00, 0xFF}));
}

TEST(ReceiveByte, ShiftsInLeastSignificantBitFirst) {
  Rig rig;
  rig.reader.Give(0x01);  // bits 1,0,0,0,0,0,0,0 first to last
  ASSERT_EQ(rig.link.ReceiveByte(), LinkResult::kDone);
  EXPECT_EQ(rig.link.receivedByte, 0x01);
  EXPECT_EQ(rig.port.data, (std::vector<std::uint8_t>{0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A, 0x09, 0x08}));
  EXPECT_EQ(rig.reader.ReadPortByte(0x378), 0x08);
}

TEST(Link, EveryByteValueTravelsBothWays) {
  Rig rig;
  for (int b = 0; b < 256; ++b) ASSERT_EQ(rig.link.SendByte(static_cast<std::uint8_t>(b)), LinkResult::kDone);
  ASSERT_EQ(rig.reader.Received().size(), 256u);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(rig.reader.Received()[b], b);
  for (int b = 0; b < 256; ++b) rig.reader.Give(static_cast<std::uint8_t>(255 - b));
  for (int b = 0; b < 256; ++b) {
    ASSERT_EQ(rig.link.ReceiveByte(), LinkResult::kDone);
    EXPECT_EQ(rig.link.receivedByte, 255 - b);
  }
}

// A status register that answers from a script of bit-5 levels.
class ScriptedStatus final : public Port {
 public:
  std::uint8_t ReadPortByte(std::uint16_t a) override {
    if (a != 0x379) return data;
    ++reads;
    bool level = fallback;
    if (next < levels.size()) level = levels[next++];
    return static_cast<std::uint8_t>((level ? 0x20 : 0) | (presence ? 0x40 : 0));
  }
  void WritePortByte(std::uint16_t a, std::uint8_t v) override {
    if (a == 0x378) {
      data = v;
      ++writes;
    }
  }
  // Once the script has run out the status stays at the fallback.
  bool StatusSteady() const override { return steady && next >= levels.size(); }
  bool steady = false;
  std::vector<bool> levels;
  std::size_t next = 0;
  bool fallback = false;
  bool presence = true;
  std::uint8_t data = 0;
  long long reads = 0, writes = 0;
};

TEST(WaitHandshake, SilentReaderIsGivenUpAfterTheFullBudget) {
  ScriptedStatus port;
  VirtualClock clock;
  testing::FakeUi ui;
  Link link(port, clock, ui);
  EXPECT_EQ(link.SendByte(0x33), LinkResult::kFailed);
  EXPECT_EQ(clock.sleeps, 1001u);
  EXPECT_EQ(port.reads, 1002LL * 3002);
  EXPECT_EQ(port.data, 0);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(WaitHandshake, OneHitRenewsTheWholeBudget) {
  ScriptedStatus port;
  VirtualClock clock;
  PortAddresses ports;
  // 500 cycles of misses, one hit, then silence again.
  port.levels.assign(std::size_t{500} * 3002, false);
  port.levels.push_back(true);
  EXPECT_FALSE(WaitHandshakeAt(port, clock, ports, true, Confirm::Consecutive, std::nullopt, nullptr, 3));
  EXPECT_EQ(clock.sleeps, 500u + 1001u);
}

TEST(WaitHandshake, ConsecutiveNeedsThreeInARowCumulativeAnyThree) {
  PortAddresses ports;
  VirtualClock clock;
  {
    ScriptedStatus port;
    port.levels = {true, true, false, true, true, false};
    port.fallback = false;
    EXPECT_FALSE(WaitHandshakeAt(port, clock, ports, true, Confirm::Consecutive, std::nullopt, nullptr, 3));
  }
  {
    ScriptedStatus port;
    port.levels = {true, true, false, true};
    EXPECT_TRUE(WaitHandshakeAt(port, clock, ports, true, Confirm::Cumulative, std::nullopt, nullptr, 3));
    EXPECT_EQ(port.reads, 4);
  }
  {
    ScriptedStatus port;
    port.levels = {true, false, true, false, true, true, true};
    EXPECT_TRUE(WaitHandshakeAt(port, clock, ports, true, Confirm::Consecutive, std::nullopt, nullptr, 3));
    EXPECT_EQ(port.reads, 7);
  }
}

TEST(WaitHandshake, RewritesTheValueAfterEachSleep) {
  ScriptedStatus port;
  VirtualClock clock;
  PortAddresses ports;
  port.levels.assign(std::size_t{3002} * 2, false);
  port.fallback = true;
  EXPECT_TRUE(WaitHandshakeAt(port, clock, ports, true, Confirm::Cumulative, std::uint8_t{0x0E}, nullptr, 3));
  EXPECT_EQ(clock.sleeps, 2u);
  EXPECT_EQ(port.writes, 2);
  EXPECT_EQ(port.data, 0x0E);
}

// A port that says its status cannot change is spared the busy polls, and
// nothing else: the same sleeps, rewrites and outcome as when polled.
TEST(WaitHandshake, SteadyStatusSkipsOnlyThePollsThatCouldNotSeeAChange) {
  long long polledReads = 0;
  for (const bool steady : {false, true}) {
    ScriptedStatus port;
    port.steady = steady;
    VirtualClock clock;
    PortAddresses ports;
    port.levels.assign(3002, false);
    port.levels.push_back(true);  // one hit after the first sleep, then silence
    EXPECT_FALSE(WaitHandshakeAt(port, clock, ports, true, Confirm::Consecutive, std::uint8_t{0x1C}, nullptr, 3));
    EXPECT_EQ(clock.sleeps, 1u + 1001u) << steady;
    EXPECT_EQ(port.writes, 1 + 1001) << steady;
    EXPECT_EQ(port.data, 0x1C) << steady;
    if (steady)
      EXPECT_LT(port.reads * 100, polledReads);
    else
      polledReads = port.reads;
  }
}

TEST(OpenLink, ReaderSwitchedOffFailsAtFirstMissWithOneBox) {
  reader::ReaderOptions options;
  options.off = true;
  reader::VirtualReader reader(options);
  VirtualClock clock;
  testing::FakeUi ui;
  Link link(reader, clock, ui);
  EXPECT_EQ(link.OpenLink(), LinkResult::kFailed);
  EXPECT_EQ(clock.sleeps, 0u);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, msg::kLinkError);
  EXPECT_EQ(ui.messages[0].caption, "卓卷电子书6.1");
  EXPECT_EQ(ui.messages[0].icon, Icon::Error);
  EXPECT_EQ(link.linkLost, 1);
  EXPECT_EQ(reader.ReadPortByte(0x378), 0);
}

TEST(OpenLink, SendsTheProbeBytesZeroToTwenty) {
  Rig rig;
  ASSERT_EQ(rig.link.OpenLink(), LinkResult::kDone);
  std::vector<std::uint8_t> expected;
  for (int i = 0; i <= 20; ++i) expected.push_back(static_cast<std::uint8_t>(i));
  EXPECT_EQ(rig.reader.Received(), expected);
  EXPECT_EQ(rig.link.linkLost, 0);
}

TEST(ReceiveByte, InterruptFlagAlreadySetReturnsTwoWithoutPortAccess) {
  Rig rig;
  auto& window = rig.ui.NewProgress(ProgressKind::Receive);
  window.Show();
  rig.ui.Fake(ProgressKind::Receive)->interrupt = true;
  rig.ui.EnableWindow(Window::Main, false);
  EXPECT_EQ(rig.link.ReceiveByte(), LinkResult::kInterrupted);
  EXPECT_FALSE(rig.ui.Fake(ProgressKind::Receive)->visible);
  EXPECT_FALSE(rig.ui.Fake(ProgressKind::Receive)->interrupt);
  EXPECT_TRUE(rig.ui.Enabled(Window::Main));
  EXPECT_EQ(rig.port.reads, 0);
  EXPECT_TRUE(rig.port.data.empty());
}

TEST(ReceiveByte, TimeOutShowsTheReceiveError) {
  ScriptedStatus port;
  VirtualClock clock;
  testing::FakeUi ui;
  Link link(port, clock, ui);
  EXPECT_EQ(link.ReceiveByte(), LinkResult::kFailed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, msg::kReceiveDataError);
  EXPECT_TRUE(ui.Enabled(Window::Main));
}

// Register-level ports at given bases: a data register reads back what was
// written to it; everything else reads as a floating bus.
class Bus final : public Port {
 public:
  explicit Bus(std::vector<std::uint16_t> bases) : bases_(std::move(bases)) {}
  std::uint8_t ReadPortByte(std::uint16_t a) override {
    for (auto b : bases_)
      if (a == b) return regs_[a];
    return 0xFF;
  }
  void WritePortByte(std::uint16_t a, std::uint8_t v) override {
    writes.push_back({a, v});
    regs_[a] = v;
  }
  std::uint8_t Data(std::uint16_t a) { return regs_[a]; }
  std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;

 private:
  std::vector<std::uint16_t> bases_;
  std::map<std::uint16_t, std::uint8_t> regs_;
};

TEST(DetectParallelPort, PicksTheFirstBaseThatReadsBackFive) {
  {
    Bus bus({0x278});
    testing::FakeUi ui;
    const PortAddresses p = DetectPorts(bus, ui);
    EXPECT_EQ(p.data, 0x278);
    EXPECT_EQ(p.status, 0x279);
    EXPECT_EQ(p.control, 0x27A);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(bus.Data(0x278), 0);
    const std::vector<std::pair<std::uint16_t, std::uint8_t>> order = {{0x37A, 0}, {0x27A, 0}, {0x3BE, 0}, {0x378, 5},
                                                                       {0x278, 5}, {0x3BC, 5}, {0x278, 0}};
    EXPECT_EQ(bus.writes, order);
  }
  {
    Bus bus({0x378, 0x278});
    testing::FakeUi ui;
    EXPECT_EQ(DetectPorts(bus, ui).data, 0x378);
    EXPECT_EQ(bus.Data(0x378), 0);
  }
  {
    Bus bus({});
    testing::FakeUi ui;
    const PortAddresses p = DetectPorts(bus, ui);
    EXPECT_EQ(p.data, 0x378);
    EXPECT_EQ(p.status, 0x379);
    EXPECT_EQ(p.control, 0x37A);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, msg::kDetectError);
    EXPECT_EQ(ui.messages[0].icon, Icon::Error);
  }
}

TEST(VirtualReader, AnswersOnlyAtItsOwnBase) {
  reader::ReaderOptions options = testing::StrictOptions();
  options.base = 0x278;
  reader::VirtualReader reader(options);
  testing::FakeUi ui;
  EXPECT_EQ(DetectPorts(reader, ui).data, 0x278);
  VirtualClock clock;
  Link link(reader, clock, ui);
  link.ports = PortAddresses::ForBase(0x278);
  EXPECT_EQ(link.SendByte(0x42), LinkResult::kDone);
  EXPECT_EQ(reader.Received().back(), 0x42);
  testing::ExpectHandshakesKept(reader);
}

TEST(VirtualReader, SlowAnswersStillCarryEveryByte) {
  reader::ReaderOptions options = testing::StrictOptions();
  options.slow = 7;
  reader::VirtualReader reader(options);
  VirtualClock clock;
  testing::FakeUi ui;
  Link link(reader, clock, ui);
  for (int b = 0; b < 256; b += 17) ASSERT_EQ(link.SendByte(static_cast<std::uint8_t>(b)), LinkResult::kDone);
  reader.Give({0xA5, 0x5A, 0x00, 0xFF});
  for (int want : {0xA5, 0x5A, 0x00, 0xFF}) {
    ASSERT_EQ(link.ReceiveByte(), LinkResult::kDone);
    EXPECT_EQ(link.receivedByte, want);
  }
  testing::ExpectHandshakesKept(reader);
}

// A PC that does not wait for the acknowledge still gets its bytes through a
// quick reader; strict mode is what notices.
TEST(VirtualReader, StrictModeCountsEveryHandshakeThePcBreaks) {
  constexpr std::uint16_t kData = 0x378, kStatus = 0x379;
  struct Case {
    const char* what;
    std::vector<int> steps;  // a data value to write, or -1 for a status read
    std::uint64_t violations;
  };
  const Case cases[] = {
      {"waits for every acknowledge", {-1, 0x1A, -1, 0x05, -1, 0x0F, -1, 0x0E, -1}, 0},
      {"low nibble at once", {-1, 0x1A, 0x05}, 1},
      {"both nibbles before any read", {0x1A, 0x05}, 2},
      {"next step at once", {-1, 0x1A, -1, 0x05, -1, 0x0F, 0x0E}, 1},
      {"a step skipped", {-1, 0x1A, -1, 0x05, -1, 0x0F, -1, 0x0D}, 1},
      {"a rewrite of the same step", {-1, 0x1A, -1, 0x05, -1, 0x0F, 0x0F, -1}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reader::VirtualReader reader(testing::StrictOptions());
    for (int step : c.steps) {
      if (step < 0) {
        reader.ReadPortByte(kStatus);
      } else {
        reader.WritePortByte(kData, static_cast<std::uint8_t>(step));
        // The reader answers the byte with one of its own.
        if (reader.Received().size() == 1 && reader.PendingGive() == 0 && reader.GivenCount() == 0) reader.Give(0x01);
      }
    }
    EXPECT_EQ(reader.Received(), std::vector<std::uint8_t>{0x5A});
    EXPECT_EQ(reader.Violations(), c.violations) << reader.ViolationReport();
  }
}

TEST(VirtualReader, StopsAnsweringAfterNBytes) {
  reader::ReaderOptions options = testing::StrictOptions();
  options.silentAfter = 3;
  reader::VirtualReader reader(options);
  VirtualClock clock;
  testing::FakeUi ui;
  Link link(reader, clock, ui);
  EXPECT_EQ(link.SendByte(1), LinkResult::kDone);
  EXPECT_EQ(link.SendByte(2), LinkResult::kDone);
  EXPECT_EQ(link.SendByte(3), LinkResult::kDone);
  EXPECT_EQ(link.SendByte(4), LinkResult::kFailed);
  EXPECT_EQ(reader.Received().size(), 3u);
  testing::ExpectHandshakesKept(reader);
}

}  // namespace
}  // namespace quirel
