// The bridge backend's own rules: the request layout and a closed
// connection. Moving bytes over it is part of the port contract test.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "link/backends.h"
#include "link/link.h"
#include "resources/messages.h"
#include "reader/virtual_reader.h"
#include "tests/backends/bridge_server.h"
#include "tests/support/fake_ui.h"

namespace quirel {
namespace {

namespace fs = std::filesystem;
using testing::BridgeServer;

TEST(Bridge, RequestsAreLaidOutByteForByte) {
  reader::VirtualReader reader{reader::ReaderOptions{}};
  BridgeServer server(BridgeServer::Kind::Unix, reader);
  ASSERT_TRUE(server.ok());
  BridgePort port(server.target());
  port.WritePortByte(0x378, 0x5A);
  EXPECT_EQ(port.ReadPortByte(0x378), 0x5A);   // the virtual reader's data register
  EXPECT_EQ(port.ReadPortByte(0x1234), 0xFF);  // nothing there
  EXPECT_EQ(server.Raw(), (std::vector<std::uint8_t>{'W', 0x78, 0x03, 0x5A, 'R', 0x78, 0x03, 'R', 0x34, 0x12}));
}

TEST(Bridge, AClosedConnectionReadsZeroFromThenOn) {
  reader::VirtualReader reader{reader::ReaderOptions{}};
  BridgeServer server(BridgeServer::Kind::Tcp, reader);
  ASSERT_TRUE(server.ok());
  BridgePort port(server.target());
  ASSERT_EQ(port.ReadPortByte(0x378), 0x00);
  port.WritePortByte(0x378, 0x05);
  ASSERT_EQ(port.ReadPortByte(0x378), 0x05);
  server.Disconnect();
  EXPECT_EQ(port.ReadPortByte(0x378), 0x00);
  EXPECT_FALSE(port.connected());
  port.WritePortByte(0x378, 0x05);  // goes nowhere, and does not raise SIGPIPE
  EXPECT_EQ(port.ReadPortByte(0x378), 0x00);
  EXPECT_EQ(port.ReadPortByte(0x379), 0x00);
}

TEST(Bridge, APeerThatNeverAnswersIsGivenUpAndTheLinkFails) {
  // Connections are taken by the system's backlog, and nothing ever answers.
  const fs::path path = fs::temp_directory_path() / ("quirel-silent-" + std::to_string(::getpid()));
  fs::remove(path);
  const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.string().size() + 1);
  ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(listening, 4), 0);
  BridgePort port("unix:" + path.string());
  ASSERT_TRUE(port.connected()) << port.problem();
  port.SetReplyTimeout(50);
  VirtualClock clock;
  testing::FakeUi ui;
  Link link(port, clock, ui);
  link.DetectParallelPort();
  EXPECT_FALSE(port.connected());
  EXPECT_EQ(link.OpenLink(), LinkResult::kFailed);
  EXPECT_EQ(ui.Texts().back(), std::string(msg::kLinkError));
  ::close(listening);
  fs::remove(path);
}

TEST(Bridge, NoServerMeansAClosedPortThatFailsDetection) {
  const std::string missing = (fs::temp_directory_path() / "quirel-no-such-dir" / "socket").string();
  std::string note, error;
  auto port = OpenHardwarePort("bridge:unix:" + missing, RealSystemCalls(), note, error);
  ASSERT_NE(port, nullptr);
  EXPECT_NE(note.find(missing), std::string::npos);
  EXPECT_EQ(port->ReadPortByte(0x379), 0x00);

  VirtualClock clock;
  testing::FakeUi ui;
  Link link(*port, clock, ui);
  link.DetectParallelPort();
  EXPECT_EQ(ui.messages.size(), 1u);
  // The status reads 0: bit 6 low, so opening the link fails at once.
  EXPECT_EQ(link.OpenLink(), LinkResult::kFailed);
  EXPECT_EQ(link.linkLost, 1);
}

}  // namespace
}  // namespace quirel
