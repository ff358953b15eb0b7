#include "reader/port_factory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "link/link.h"
#include "reader/virtual_reader.h"
#include "tests/support/fake_ui.h"

namespace quirel::reader {
namespace {

namespace fs = std::filesystem;

struct TempHome {
  TempHome() {
    static int serial = 0;
    path =
        fs::temp_directory_path() / ("quirel-factory-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(path);
    env.home = path.string();
    env.systemDir = (path / "system").string();
  }
  ~TempHome() { fs::remove_all(path); }
  fs::path path;
  Environment env;
};

TEST(PortFactory, VirtualGivesTheReaderWithItsOptionsAndStorage) {
  TempHome home;
  std::string error;
  const std::string dir = (home.path / "books-here").string();
  OpenedPort opened = OpenPort("virtual:" + dir + ",base=0x278", home.env, error);
  ASSERT_NE(opened.port, nullptr) << error;
  ASSERT_NE(opened.virtualReader, nullptr);
  EXPECT_EQ(static_cast<Port*>(opened.virtualReader), opened.port.get());
  EXPECT_EQ(opened.virtualReader->options().base, 0x278);
  ASSERT_NE(opened.virtualReader->firmware(), nullptr);
  EXPECT_EQ(opened.virtualReader->firmware()->root(), fs::path(dir));
  EXPECT_TRUE(opened.note.empty());

  VirtualClock clock;
  testing::FakeUi ui;
  Link link(*opened.port, clock, ui);
  link.DetectParallelPort();
  EXPECT_EQ(link.ports.data, 0x278);
  EXPECT_EQ(link.OpenLink(), LinkResult::kDone);
}

TEST(PortFactory, VirtualReaderStorageDefaultsToTheProgramDirectory) {
  TempHome home;
  std::string error;
  OpenedPort opened = OpenPort("virtual,off", home.env, error);
  ASSERT_NE(opened.virtualReader, nullptr) << error;
  EXPECT_TRUE(opened.virtualReader->options().off);
  EXPECT_EQ(opened.virtualReader->firmware()->root(), home.path / "virtual-reader");
  EXPECT_TRUE(fs::is_directory(home.path / "virtual-reader"));

  EXPECT_EQ(VirtualReaderDir("virtual", home.env), home.env.home + "/virtual-reader");
  EXPECT_EQ(VirtualReaderDir("virtual:/x/y,slow=3", home.env), "/x/y");
  EXPECT_EQ(VirtualReaderDir("auto", home.env), home.env.home + "/virtual-reader");
}

TEST(PortFactory, ValuesAreCheckedBeforeAnythingOpens) {
  std::string error;
  EXPECT_TRUE(ValidPortSpec("virtual:/tmp/r,slow=2,silent-after=9", error));
  EXPECT_TRUE(ValidPortSpec("auto", error));
  EXPECT_FALSE(ValidPortSpec("virtual,loud", error));
  EXPECT_FALSE(ValidPortSpec("virtualx", error));
  EXPECT_FALSE(ValidPortSpec("parallel", error));
  EXPECT_FALSE(IsVirtualSpec("virtualx"));

  TempHome home;
  error.clear();
  OpenedPort opened = OpenPort("virtual,base=zz", home.env, error);
  EXPECT_EQ(opened.port, nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(OpenPort("nonsense", home.env, error).port, nullptr);
}

TEST(PortFactory, ExplicitValueWinsOverTheEnvironmentWhichWinsOverAuto) {
  const char* saved = std::getenv("QUIREL_PORT");
  const std::string savedValue = saved != nullptr ? saved : "";
  ::unsetenv("QUIREL_PORT");
  EXPECT_EQ(ChosenPortSpec(""), "auto");
  ::setenv("QUIREL_PORT", "virtual,off", 1);
  EXPECT_EQ(ChosenPortSpec(""), "virtual,off");
  EXPECT_EQ(ChosenPortSpec("direct"), "direct");
  if (saved != nullptr)
    ::setenv("QUIREL_PORT", savedValue.c_str(), 1);
  else
    ::unsetenv("QUIREL_PORT");
}

}  // namespace
}  // namespace quirel::reader
