// The ppdev and direct backends, checked call by call through a recording
// stand-in for the operating system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "link/backends.h"
#include "link/link.h"
#include "resources/messages.h"
#include "tests/support/fake_ui.h"

namespace quirel {
namespace {

class FakeSystem final : public SystemCalls {
 public:
  // Machine description.
  std::vector<std::string> devNames;
  std::map<std::string, std::string> files;  // path -> content
  std::set<std::string> refuseOpen;          // open fails with EACCES
  std::set<std::string> refuseClaim;         // PPCLAIM fails with EBUSY
  std::set<unsigned long> grantedBases;      // ioperm succeeds for these
  // Devices (by path) whose data register holds what is written, as a real
  // port does; the others read back 0xFF.
  std::set<std::string> echoData;
  std::uint8_t status = 0x7F;
  std::uint8_t control = 0xC4;  // what the control register holds at claim

  std::vector<std::string> calls;

  int Open(const std::string& path) override {
    calls.push_back("open " + path);
    if (refuseOpen.count(path) != 0) {
      errno = EACCES;
      return -1;
    }
    const int fd = nextFd_++;
    paths_[fd] = path;
    return fd;
  }
  int Close(int fd) override {
    calls.push_back("close " + std::to_string(fd));
    return 0;
  }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    const auto& r = Ppdev();
    auto* byte = static_cast<unsigned char*>(argument);
    const std::string& path = paths_[fd];
    std::string call = "ioctl " + std::to_string(fd) + " ";
    if (request == r.claim) {
      calls.push_back(call + "claim");
      if (refuseClaim.count(path) != 0) {
        errno = EBUSY;
        return -1;
      }
      return 0;
    }
    if (request == r.release) {
      calls.push_back(call + "release");
      return 0;
    }
    if (request == r.writeData) {
      calls.push_back(call + "wdata " + Hex(*byte));
      data_[fd] = *byte;
      return 0;
    }
    if (request == r.readData) {
      calls.push_back(call + "rdata");
      *byte = echoData.count(path) != 0 ? data_[fd] : 0xFF;
      return 0;
    }
    if (request == r.readStatus) {
      calls.push_back(call + "rstatus");
      *byte = status;
      return 0;
    }
    if (request == r.readControl) {
      calls.push_back(call + "rcontrol");
      *byte = control;
      return 0;
    }
    if (request == r.writeControl) {
      calls.push_back(call + "wcontrol " + Hex(*byte));
      return 0;
    }
    calls.push_back(call + "unknown");
    return -1;
  }
  int Ioperm(unsigned long from, unsigned long count, int turnOn) override {
    calls.push_back("ioperm " + Hex(from) + " " + std::to_string(count) + " " + std::to_string(turnOn));
    return grantedBases.count(from) != 0 ? 0 : -1;
  }
  std::uint8_t Inb(std::uint16_t address) override {
    calls.push_back("inb " + Hex(address));
    return status;
  }
  void Outb(std::uint8_t value, std::uint16_t address) override {
    calls.push_back("outb " + Hex(value) + " " + Hex(address));
  }
  std::vector<std::string> ListDirectory(const std::string& path) override {
    return path == "/dev" ? devNames : std::vector<std::string>{};
  }
  bool ReadTextFile(const std::string& path, std::string& text) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    text = it->second;
    return true;
  }

  // A parport device whose kernel driver reports base (decimal, as /proc does).
  void AddParport(const std::string& name, unsigned base) {
    devNames.push_back(name);
    files["/proc/sys/dev/parport/" + name + "/base-addr"] =
        std::to_string(base) + "\t" + std::to_string(base + 0x400) + "\n";
  }

  static std::string Hex(unsigned long v) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "0x%02lX", v);
    return buffer;
  }

 private:
  int nextFd_ = 3;
  std::map<int, std::string> paths_;
  std::map<int, std::uint8_t> data_;
};

using Calls = std::vector<std::string>;

TEST(Ppdev, EachRegisterGoesThroughItsIoctlOnTheDeviceAtThatBase) {
  FakeSystem sys;
  sys.AddParport("parport0", 0x378);
  sys.AddParport("parport1", 0x278);
  sys.devNames.push_back("tty0");
  {
    PpdevPort port(sys, "");
    ASSERT_TRUE(port.usable());
    EXPECT_EQ(sys.calls, (Calls{"open /dev/parport0", "ioctl 3 claim", "ioctl 3 rcontrol", "open /dev/parport1",
                                "ioctl 4 claim", "ioctl 4 rcontrol"}));
    sys.calls.clear();

    EXPECT_EQ(port.ReadPortByte(0x37A), 0xC4);  // the shadow starts from the device
    port.WritePortByte(0x378, 0x05);
    EXPECT_EQ(port.ReadPortByte(0x379), 0x7F);
    port.WritePortByte(0x27A, 0x04);
    EXPECT_EQ(port.ReadPortByte(0x27A), 0x04);  // from the shadow copy
    port.ReadPortByte(0x278);
    port.WritePortByte(0x379, 0x55);            // status is read-only
    EXPECT_EQ(port.ReadPortByte(0x3BC), 0xFF);  // nothing at that base
    port.WritePortByte(0x3BC, 0x05);
    EXPECT_EQ(sys.calls, (Calls{"ioctl 3 wdata 0x05", "ioctl 3 rstatus", "ioctl 4 wcontrol 0x04", "ioctl 4 rdata"}));
    sys.calls.clear();
  }
  EXPECT_EQ(sys.calls, (Calls{"ioctl 3 release", "close 3", "ioctl 4 release", "close 4"}));
}

TEST(Ppdev, DevicesAreTakenInNumericOrderAndTheFirstAtABaseWins) {
  FakeSystem sys;
  sys.AddParport("parport10", 0x278);
  sys.AddParport("parport2", 0x278);
  sys.devNames.push_back("parportx");
  sys.devNames.push_back("parport");  // no number: no port device
  PpdevPort port(sys, "");
  EXPECT_EQ(sys.calls, (Calls{"open /dev/parport2", "ioctl 3 claim", "ioctl 3 rcontrol"}));
  EXPECT_EQ(port.Bases(), (std::map<std::uint16_t, std::string>{{0x278, "/dev/parport2"}}));
}

TEST(Ppdev, ADeviceAtAnotherBaseStandsInForTheFirstStandardBase) {
  FakeSystem sys;
  sys.AddParport("parport0", 0xE800);  // an add-in card
  PpdevPort port(sys, "/dev/parport0");
  ASSERT_TRUE(port.usable());
  EXPECT_EQ(port.Bases(), (std::map<std::uint16_t, std::string>{{0x378, "/dev/parport0"}}));

  // Without a base-addr file the named device is placed there as well.
  FakeSystem bare;
  PpdevPort named(bare, "/dev/parport7");
  EXPECT_EQ(named.Bases(), (std::map<std::uint16_t, std::string>{{0x378, "/dev/parport7"}}));
}

TEST(Ppdev, UnopenableOrBusyDevicesAreLeftAloneAndSayWhy) {
  FakeSystem sys;
  sys.AddParport("parport0", 0x378);
  sys.AddParport("parport1", 0x278);
  sys.refuseOpen.insert("/dev/parport0");
  sys.refuseClaim.insert("/dev/parport1");
  PpdevPort port(sys, "");
  EXPECT_FALSE(port.usable());
  EXPECT_EQ(sys.calls, (Calls{"open /dev/parport0", "open /dev/parport1", "ioctl 3 claim", "close 3"}));
  EXPECT_NE(port.problem().find("/dev/parport1"), std::string::npos);

  FakeSystem none;
  PpdevPort empty(none, "");
  EXPECT_FALSE(empty.usable());
  EXPECT_TRUE(none.calls.empty());
}

TEST(Ppdev, DetectionFindsTheOnlyPortAt0x278) {
  FakeSystem sys;
  sys.AddParport("parport0", 0x278);
  sys.echoData.insert("/dev/parport0");
  PpdevPort port(sys, "");
  VirtualClock clock;
  testing::FakeUi ui;
  Link link(port, clock, ui);
  sys.calls.clear();
  link.DetectParallelPort();
  EXPECT_EQ(link.ports.data, 0x278);
  EXPECT_EQ(link.ports.status, 0x279);
  EXPECT_EQ(link.ports.control, 0x27A);
  EXPECT_TRUE(ui.messages.empty());
  // Control 0, data 5 (only the 0x278 registers reach the device), the
  // read-back, and 0 left on the chosen data register.
  EXPECT_EQ(sys.calls, (Calls{"ioctl 3 wcontrol 0x00", "ioctl 3 wdata 0x05", "ioctl 3 rdata", "ioctl 3 wdata 0x00"}));
}

TEST(Direct, InbAndOutbOnlyOnTheBasesIopermGranted) {
  FakeSystem sys;
  sys.grantedBases = {0x378};
  {
    DirectPort port(sys);
    ASSERT_TRUE(port.usable());
    EXPECT_EQ(sys.calls, (Calls{"ioperm 0x378 3 1", "ioperm 0x278 3 1", "ioperm 0x3BC 3 1"}));
    sys.calls.clear();
    port.WritePortByte(0x378, 0x1A);
    EXPECT_EQ(port.ReadPortByte(0x379), 0x7F);
    port.WritePortByte(0x37A, 0x00);
    // Touching an address without permission would kill the process.
    EXPECT_EQ(port.ReadPortByte(0x278), 0xFF);
    port.WritePortByte(0x27A, 0x00);
    port.WritePortByte(0x37B, 0x00);
    EXPECT_EQ(sys.calls, (Calls{"outb 0x1A 0x378", "inb 0x379", "outb 0x00 0x37A"}));
    sys.calls.clear();
  }
  EXPECT_EQ(sys.calls, (Calls{"ioperm 0x378 3 0"}));
}

TEST(AutoPort, PrefersPpdevThenDirectThenNoPort) {
  std::string note, error;
  {
    FakeSystem sys;
    sys.AddParport("parport0", 0x378);
    sys.grantedBases = {0x378, 0x278, 0x3BC};
    auto port = OpenHardwarePort("auto", sys, note, error);
    EXPECT_NE(dynamic_cast<PpdevPort*>(port.get()), nullptr);
    EXPECT_TRUE(note.empty());
  }
  {
    FakeSystem sys;
    sys.AddParport("parport0", 0x378);
    sys.refuseOpen.insert("/dev/parport0");
    sys.grantedBases = {0x378, 0x278, 0x3BC};
    auto port = OpenHardwarePort("auto", sys, note, error);
    EXPECT_NE(dynamic_cast<DirectPort*>(port.get()), nullptr);
    EXPECT_TRUE(note.empty());
  }
  {
    FakeSystem sys;
    auto port = OpenHardwarePort("auto", sys, note, error);
    ASSERT_NE(dynamic_cast<NoPort*>(port.get()), nullptr);
    EXPECT_FALSE(note.empty());
    // The program stays usable: detection shows its box once and keeps the
    // first standard base.
    VirtualClock clock;
    testing::FakeUi ui;
    Link link(*port, clock, ui);
    link.portProblem = note;
    link.DetectParallelPort();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, msg::kDetectError);
    EXPECT_EQ(ui.messages[0].icon, Icon::Error);
    // The reason reaches the person along with the unchanged box.
    EXPECT_EQ(ui.diagnostics, std::vector<std::string>{note});
    EXPECT_EQ(link.ports.data, 0x378);
    EXPECT_EQ(link.ports.control, 0x37A);
  }
}

TEST(AutoPort, AnUnusablePortNamesEveryDeviceAndWhatToDo) {
  struct Case {
    const char* spec;
    std::vector<const char*> parports;  // at 0x378, 0x278, ...
    std::vector<const char*> refuseOpen, refuseClaim;
    std::vector<std::string> mentions;
  };
  const std::string joinLp = "To fix: /dev/parport0 belongs to group lp: join it (sudo usermod -aG lp $USER)";
  const std::string loadDriver = "To fix: load the parport driver: sudo modprobe ppdev";
  const Case cases[] = {
      {"auto", {}, {}, {}, {"no /dev/parport* device", loadDriver, "CAP_SYS_RAWIO"}},
      {"ppdev", {"parport0"}, {"/dev/parport0"}, {}, {"cannot open /dev/parport0", joinLp}},
      // Each device keeps its own reason; neither hides the other.
      {"auto",
       {"parport0", "parport1"},
       {"/dev/parport0"},
       {"/dev/parport1"},
       {"cannot open /dev/parport0", "cannot claim /dev/parport1", joinLp,
        "To fix: another program is using /dev/parport1"}},
      {"direct", {}, {}, {}, {"not permitted", "To fix: run as root"}},
  };
  for (const Case& c : cases) {
    FakeSystem sys;
    unsigned base = 0x378;
    for (const char* name : c.parports) sys.AddParport(name, std::exchange(base, 0x278));
    sys.refuseOpen.insert(c.refuseOpen.begin(), c.refuseOpen.end());
    sys.refuseClaim.insert(c.refuseClaim.begin(), c.refuseClaim.end());
    std::string note, error;
    auto port = OpenHardwarePort(c.spec, sys, note, error);
    ASSERT_NE(dynamic_cast<NoPort*>(port.get()), nullptr) << c.spec;
    for (const std::string& mention : c.mentions)
      EXPECT_NE(note.find(mention), std::string::npos) << c.spec << ": no \"" << mention << "\" in\n" << note;
  }
}

TEST(AutoPort, ExplicitChoicesDoNotFallBack) {
  std::string note, error;
  FakeSystem sys;
  sys.grantedBases = {0x378};
  auto ppdev = OpenHardwarePort("ppdev", sys, note, error);
  EXPECT_NE(dynamic_cast<NoPort*>(ppdev.get()), nullptr);
  EXPECT_NE(note.find("ppdev"), std::string::npos);
  EXPECT_TRUE(
      std::none_of(sys.calls.begin(), sys.calls.end(), [](const std::string& c) { return c.rfind("ioperm", 0) == 0; }));

  FakeSystem refused;
  auto direct = OpenHardwarePort("direct", refused, note, error);
  EXPECT_NE(dynamic_cast<NoPort*>(direct.get()), nullptr);
  EXPECT_FALSE(note.empty());

  FakeSystem named;
  named.AddParport("parport3", 0x3BC);
  auto one = OpenHardwarePort("ppdev:/dev/parport3", named, note, error);
  auto* p = dynamic_cast<PpdevPort*>(one.get());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Bases(), (std::map<std::uint16_t, std::string>{{0x3BC, "/dev/parport3"}}));
}

TEST(PortChoice, MalformedValuesAreRefusedWithoutTouchingAnything) {
  FakeSystem sys;
  for (const char* spec : {"", "foo", "ppdev:", "bridge:", "bridge:tcp:127.0.0.1", "bridge:tcp:127.0.0.1:99999",
                           "bridge:tcp::80", "bridge:unix:", "bridge:udp:x:1", "direct:0x378"}) {
    std::string note, error;
    EXPECT_EQ(OpenHardwarePort(spec, sys, note, error), nullptr) << spec;
    EXPECT_FALSE(error.empty()) << spec;
  }
  EXPECT_TRUE(sys.calls.empty());
  std::string error;
  for (const char* spec : {"auto", "ppdev", "ppdev:/dev/parport0", "direct", "bridge:unix:/tmp/x",
                           "bridge:tcp:127.0.0.1:7378", "bridge:tcp:[::1]:7378"})
    EXPECT_TRUE(ValidHardwareSpec(spec, error)) << spec;
}

}  // namespace
}  // namespace quirel
