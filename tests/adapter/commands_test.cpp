// The quirel program as a user runs it with --port serial:DEVICE, its device
// the pseudo-terminal of the adapter's real firmware in simavr, the virtual
// reader (with its storage) on the adapter's cable.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "reader/firmware.h"
#include "reader/virtual_reader.h"
#include "resources/messages.h"
#include "tests/adapter/simulated_adapter.h"
#include "tests/support/strict_reader.h"

namespace quirel {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

class AdapterCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ =
        fs::temp_directory_path() / ("quirel-adapter-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(dir_ / "reader");
    reader_ = std::make_unique<reader::VirtualReader>(testing::StrictOptions(), reader::MakeFirmware(dir_ / "reader"));
    adapter_ = std::make_unique<testing::SimulatedAdapter>(QUIREL_ADAPTER_ELF, *reader_);
    ASSERT_TRUE(adapter_->running()) << adapter_->why();
  }
  void TearDown() override {
    if (adapter_) adapter_->Access([&] { testing::ExpectHandshakesKept(*reader_); });
    adapter_.reset();
    reader_.reset();
    fs::remove_all(dir_);
  }

  // The command line a user types, with home, system directory and port set.
  // Run from the test's folder, where out.txt and err.txt are written.
  std::string Invocation(const std::string& words, const std::string& home = "home") const {
    return "env -u QUIREL_PORT LC_ALL=C QUIREL_HOME='" + (dir_ / home).string() + "' QUIREL_SYSTEM_DIR='" +
           (dir_ / "system").string() + "' '" QUIREL_BINARY_DIR "/cli/quirel' --port serial:" + adapter_->devicePath() +
           " " + words + " >out.txt 2>err.txt </dev/null";
  }
  std::string Command(const std::string& words, const std::string& home = "home") const {
    return "cd '" + dir_.string() + "' && " + Invocation(words, home);
  }
  Outcome Quirel(const std::string& words, const std::string& home = "home") const {
    const int raw = std::system(Command(words, home).c_str());
    return Finished(raw);
  }
  Outcome Finished(int raw) const {
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Slurp(dir_ / "out.txt");
    run.err = Slurp(dir_ / "err.txt");
    return run;
  }
  // What the reader holds, as the virtual reader's own listing shows it.
  std::string ReaderListing() const {
    const std::string command = "'" QUIREL_BINARY_DIR "/cli/quirel' --port virtual:" + (dir_ / "reader").string() +
                                " reader ls > '" + (dir_ / "ls.txt").string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return Slurp(dir_ / "ls.txt");
  }

  fs::path dir_;
  std::unique_ptr<reader::VirtualReader> reader_;
  std::unique_ptr<testing::SimulatedAdapter> adapter_;
};

TEST_F(AdapterCommands, ProbeMkdirAndAFolderSentAndReceivedBack) {
  Outcome run = Quirel("probe");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "the reader answered on the port at 0x378 (serial:" + adapter_->devicePath() + ")\n");

  run = Quirel("mkdir 书库");
  EXPECT_EQ(run.status, 0) << run.err;

  // A folder with a subfolder, every byte value, and one file longer than a
  // frame and a block, so that runs of bytes cross both boundaries.
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  std::string longer;
  for (int i = 0; i < 5000; ++i) longer.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
  Write(dir_ / "docs/all.bin", all);
  Write(dir_ / "docs/sub/longer.bin", longer);
  Write(dir_ / "docs/sub/one.bin", "x");
  run = Quirel("send --keep-format docs");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string listing = ReaderListing();
  for (const char* entry : {"书库/", "docs/all.bin\t256", "docs/sub/longer.bin\t5000", "docs/sub/one.bin\t1"})
    EXPECT_NE(listing.find(entry), std::string::npos) << entry << "\n" << listing;

  run = Quirel("receive --all back");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Slurp(dir_ / "back/docs/all.bin"), all);
  EXPECT_EQ(Slurp(dir_ / "back/docs/sub/longer.bin"), longer);
  EXPECT_EQ(Slurp(dir_ / "back/docs/sub/one.bin"), "x");
}

TEST_F(AdapterCommands, ThePhonebookGoesBothWays) {
  Outcome run = Quirel("phonebook add --name 张三 --mobile 13800000000", "first");
  ASSERT_EQ(run.status, 0) << run.err;
  run = Quirel("phonebook send", "first");
  EXPECT_EQ(run.status, 0) << run.err;
  run = Quirel("phonebook receive", "second");
  EXPECT_EQ(run.status, 0) << run.err;
  run = Quirel("phonebook show 张三", "second");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("13800000000"), std::string::npos) << run.out;
}

TEST_F(AdapterCommands, ASwitchedOffReaderGivesTheLinkError) {
  adapter_->Access([&] { reader_->SetOff(true); });
  const Outcome run = Quirel("probe");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, std::string(msg::kLinkError) + "\n");
}

TEST_F(AdapterCommands, CtrlCInterruptsASend) {
  Write(dir_ / "big.bin", std::string(400'000, 'q'));
  // exec leaves the shell out, so that the signal reaches the program. The
  // child only makes system calls: the simulation's thread may hold a lock.
  const std::string script = "exec " + Invocation("send --keep-format big.bin");
  const std::string folder = dir_.string();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::chdir(folder.c_str()) == 0) ::execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Once the file has begun to arrive, Ctrl-C.
  bool started = false;
  for (int i = 0; i < 1200 && !started; ++i) {
    adapter_->Access([&] { started = reader_->Received().size() > 5000; });
    if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(started);
  ::kill(child, SIGINT);
  int raw = 0;
  ASSERT_EQ(::waitpid(child, &raw, 0), child);
  const Outcome run = Finished(raw);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(ReaderListing().find("big.bin\t400000"), std::string::npos);
}

}  // namespace
}  // namespace quirel
