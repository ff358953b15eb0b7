// One contract for every port backend: each ends in the same strict virtual
// reader, and the program must find it, open the link and move every byte
// value both ways through it without breaking a handshake.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/backends.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "reader/virtual_reader.h"
#if defined(QUIREL_ADAPTER_ELF)
#include "tests/adapter/simulated_adapter.h"
#endif
#include "tests/backends/bridge_server.h"
#include "tests/support/fake_ui.h"
#include "tests/support/strict_reader.h"

namespace quirel {
namespace {

constexpr std::uint16_t kBase = 0x378;

// The operating system of a machine whose only parallel port, at 0x378, has
// the reader on its cable: ppdev's ioctls and inb/outb reach its registers.
class ReaderSystem final : public SystemCalls {
 public:
  explicit ReaderSystem(Port& reader) : reader_(reader) {}

  int Open(const std::string& path) override { return path == "/dev/parport0" ? kFd : -1; }
  int Close(int) override { return 0; }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    if (fd != kFd) return -1;
    const PpdevRequests& r = Ppdev();
    auto* byte = static_cast<std::uint8_t*>(argument);
    if (request == r.claim || request == r.release) return 0;
    if (request == r.writeData) {
      reader_.WritePortByte(kBase, *byte);
    } else if (request == r.readData) {
      *byte = reader_.ReadPortByte(kBase);
    } else if (request == r.readStatus) {
      *byte = reader_.ReadPortByte(kBase + 1);
    } else if (request == r.writeControl) {
      reader_.WritePortByte(kBase + 2, *byte);
    } else if (request == r.readControl) {
      *byte = reader_.ReadPortByte(kBase + 2);
    } else {
      return -1;
    }
    return 0;
  }
  int Ioperm(unsigned long from, unsigned long, int) override { return from == kBase ? 0 : -1; }
  std::uint8_t Inb(std::uint16_t address) override { return reader_.ReadPortByte(address); }
  void Outb(std::uint8_t value, std::uint16_t address) override { reader_.WritePortByte(address, value); }
  std::vector<std::string> ListDirectory(const std::string& path) override {
    return path == "/dev" ? std::vector<std::string>{"parport0"} : std::vector<std::string>{};
  }
  bool ReadTextFile(const std::string& path, std::string& text) override {
    if (path != "/proc/sys/dev/parport/parport0/base-addr") return false;
    text = "888\t1912\n";
    return true;
  }

 private:
  static constexpr int kFd = 7;
  Port& reader_;
};

// A backend opened on the reader; access runs a function with the reader to
// itself (the bridge serves it from another thread).
struct Backend {
  std::shared_ptr<void> keep;  // what the port talks to, outliving it
  std::unique_ptr<Port> owned;
  Port* port = nullptr;
  std::function<void(const std::function<void()>&)> access = [](const std::function<void()>& f) { f(); };
};

struct Case {
  const char* name;
  std::function<Backend(reader::VirtualReader&, std::unique_ptr<SystemCalls>&, std::unique_ptr<testing::BridgeServer>&)>
      open;
};

Backend Hardware(const std::string& spec, reader::VirtualReader& reader, std::unique_ptr<SystemCalls>& sys) {
  sys = std::make_unique<ReaderSystem>(reader);
  std::string note, error;
  Backend backend;
  backend.owned = OpenHardwarePort(spec, *sys, note, error);
  backend.port = backend.owned.get();
  EXPECT_TRUE(note.empty()) << note;
  return backend;
}

Backend Bridge(testing::BridgeServer::Kind kind, reader::VirtualReader& reader,
               std::unique_ptr<testing::BridgeServer>& server) {
  server = std::make_unique<testing::BridgeServer>(kind, reader);
  EXPECT_TRUE(server->ok());
  Backend backend;
  backend.owned = std::make_unique<BridgePort>(server->target());
  backend.port = backend.owned.get();
  testing::BridgeServer* s = server.get();
  backend.access = [s](const std::function<void()>& f) { s->WithTarget(f); };
  return backend;
}

const Case kCases[] = {
    {"virtual",
     [](reader::VirtualReader& reader, auto&, auto&) {
       Backend backend;
       backend.port = &reader;
       return backend;
     }},
    {"ppdev", [](reader::VirtualReader& reader, auto& sys, auto&) { return Hardware("ppdev", reader, sys); }},
    {"direct", [](reader::VirtualReader& reader, auto& sys, auto&) { return Hardware("direct", reader, sys); }},
    {"bridge_unix", [](reader::VirtualReader& reader, auto&,
                       auto& server) { return Bridge(testing::BridgeServer::Kind::Unix, reader, server); }},
    {"bridge_tcp", [](reader::VirtualReader& reader, auto&,
                      auto& server) { return Bridge(testing::BridgeServer::Kind::Tcp, reader, server); }},
#if defined(QUIREL_ADAPTER_ELF)
    // The USB adapter: its real firmware in simavr, on the reader's cable.
    {"usb_adapter",
     [](reader::VirtualReader& reader, auto&, auto&) {
       auto adapter = std::make_shared<testing::SimulatedAdapter>(QUIREL_ADAPTER_ELF, reader);
       EXPECT_TRUE(adapter->running()) << adapter->why();
       Backend backend;
       backend.keep = adapter;
       backend.owned = std::make_unique<SerialPort>(adapter->devicePath());
       backend.port = backend.owned.get();
       backend.access = [a = adapter.get()](const std::function<void()>& f) { a->Access(f); };
       return backend;
     }},
#endif
};

class PortContract : public ::testing::TestWithParam<Case> {};

TEST_P(PortContract, DetectOpenTheLinkAndMoveEveryByteBothWays) {
  reader::VirtualReader reader(testing::StrictOptions());
  std::unique_ptr<SystemCalls> sys;
  std::unique_ptr<testing::BridgeServer> server;
  Backend backend = GetParam().open(reader, sys, server);
  ASSERT_NE(backend.port, nullptr);

  VirtualClock clock;
  testing::FakeUi ui;
  Link link(*backend.port, clock, ui);
  link.DetectParallelPort();
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(link.ports.data, kBase);
  ASSERT_EQ(link.OpenLink(), LinkResult::kDone);

  std::vector<std::uint8_t> all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  for (auto b : all) ASSERT_EQ(link.SendByte(b), LinkResult::kDone) << int(b);
  std::vector<std::uint8_t> back(all.rbegin(), all.rend());
  backend.access([&] {
    const std::vector<std::uint8_t>& got = reader.Received();
    // The 21 opening bytes 0..20 come first.
    ASSERT_EQ(got.size(), 21u + all.size());
    EXPECT_EQ(std::vector<std::uint8_t>(got.begin() + 21, got.end()), all);
    reader.Give(back);
  });
  std::vector<std::uint8_t> got;
  for (std::size_t i = 0; i < back.size(); ++i) {
    ASSERT_EQ(link.ReceiveByte(), LinkResult::kDone) << i;
    got.push_back(link.receivedByte);
  }
  EXPECT_EQ(got, back);
  EXPECT_EQ(clock.sleeps, 0u);
  EXPECT_TRUE(ui.messages.empty());
  backend.access([&] { testing::ExpectHandshakesKept(reader); });
}

INSTANTIATE_TEST_SUITE_P(EveryBackend, PortContract, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace quirel
