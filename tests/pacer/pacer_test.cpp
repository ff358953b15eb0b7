// libpacer.so as its callers use it: loaded by name, exports looked up by
// their plain names.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/pacer_loader.h"

namespace quirel {
namespace {

namespace fs = std::filesystem;

using DelayFn = void (*)(std::int32_t);
using GetDirInfoFn = void (*)(const char*, std::int32_t*, std::int32_t*);

struct Library {
  Library() {
    handle = ::dlopen(QUIREL_PACER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    delay = reinterpret_cast<DelayFn>(::dlsym(handle, "delay"));
    getDirInfo = reinterpret_cast<GetDirInfoFn>(::dlsym(handle, "GetDirInfo"));
  }
  ~Library() {
    if (handle != nullptr) ::dlclose(handle);
  }
  void* handle = nullptr;
  DelayFn delay = nullptr;
  GetDirInfoFn getDirInfo = nullptr;
};

class Pacer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.handle, nullptr) << ::dlerror();
    ASSERT_NE(lib.getDirInfo, nullptr);
    static int serial = 0;
    root = fs::temp_directory_path() / ("quirel-pacer-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(root);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root / "tree" / "locked", fs::perms::owner_all, ec);
    fs::remove_all(root, ec);
  }
  void Write(const fs::path& path, std::size_t bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
  }
  // a.txt 3, sub/b.bin 10, sub/deeper/c 0 bytes; sub/empty and empty2 hold nothing.
  fs::path MakeTree() {
    const fs::path tree = root / "tree";
    Write(tree / "a.txt", 3);
    Write(tree / "sub" / "b.bin", 10);
    Write(tree / "sub" / "deeper" / "c", 0);
    fs::create_directories(tree / "sub" / "empty");
    fs::create_directories(tree / "empty2" / "inner");
    return tree;
  }

  Library lib;
  fs::path root;
};

TEST_F(Pacer, AccumulatorsAddUpAcrossCalls) {
  const std::string tree = MakeTree().string();
  std::int32_t size = 100, count = 7;
  lib.getDirInfo(tree.c_str(), &size, &count);
  EXPECT_EQ(size, 113);
  EXPECT_EQ(count, 10);
  lib.getDirInfo(tree.c_str(), &size, &count);
  EXPECT_EQ(size, 126);
  EXPECT_EQ(count, 13);
}

TEST_F(Pacer, MissingPathOrNullPointersLeaveTheAccumulatorsAlone) {
  const std::string tree = MakeTree().string();
  std::int32_t size = -5, count = 42;
  lib.getDirInfo((root / "no-such-dir").string().c_str(), &size, &count);
  lib.getDirInfo((fs::path(tree) / "a.txt").string().c_str(), &size, &count);  // a file, not a folder
  lib.getDirInfo(nullptr, &size, &count);
  EXPECT_EQ(size, -5);
  EXPECT_EQ(count, 42);

  lib.getDirInfo(tree.c_str(), nullptr, nullptr);
  lib.getDirInfo(tree.c_str(), &size, nullptr);
  EXPECT_EQ(size, 8);
  lib.getDirInfo(tree.c_str(), nullptr, &count);
  EXPECT_EQ(count, 45);
}

TEST_F(Pacer, EmptyFoldersAndDotEntriesAddNothing) {
  fs::create_directories(root / "only" / "a" / "b");
  fs::create_directories(root / "only" / "c");
  std::int32_t size = 0, count = 0;
  lib.getDirInfo((root / "only").string().c_str(), &size, &count);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(count, 0);

  Write(root / "one" / "f", 4);
  lib.getDirInfo((root / "one").string().c_str(), &size, &count);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(count, 1);
}

TEST_F(Pacer, ReadOnlyFoldersAreWalkedAndLinksDoNotLoop) {
  const fs::path tree = MakeTree();
  Write(tree / "locked" / "d", 5);
  fs::permissions(tree / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  fs::create_directory_symlink("..", tree / "sub" / "up");       // back to tree: a loop
  fs::create_directory_symlink(tree / "locked", tree / "also");  // another way into locked
  fs::create_symlink(tree / "a.txt", tree / "a-link");           // a file by another name
  std::int32_t size = 0, count = 0;
  lib.getDirInfo(tree.string().c_str(), &size, &count);
  // 13 bytes in 3 files, locked/d twice (5 + 5), a-link (3).
  EXPECT_EQ(size, 26);
  EXPECT_EQ(count, 6);
}

TEST_F(Pacer, SizeTotalWrapsAtThirtyTwoBits) {
  const fs::path big = root / "big" / "huge.bin";
  fs::create_directories(big.parent_path());
  std::ofstream(big).close();
  std::error_code ec;
  fs::resize_file(big, (std::uintmax_t{1} << 32) + 0x10, ec);  // sparse on the usual file systems
  if (ec) GTEST_SKIP() << "cannot make a 4 GiB file here: " << ec.message();
  std::int32_t size = 0x7FFFFFF0, count = 0;
  lib.getDirInfo((root / "big").string().c_str(), &size, &count);
  EXPECT_EQ(size, INT32_MIN);  // 0x7FFFFFF0 + 0x10, in 32 bits
  EXPECT_EQ(count, 1);
}

TEST_F(Pacer, DelayReturnsForZeroAndNegativeWaits) {
  ASSERT_NE(lib.delay, nullptr);
  lib.delay(-1);
  lib.delay(INT32_MIN);
  lib.delay(0);
  lib.delay(20);
}

TEST(PacerExports, NmShowsBothNamesUnmangled) {
  if (std::system("command -v nm >/dev/null 2>&1") != 0) GTEST_SKIP() << "nm is not installed";
  const std::string command = std::string("nm -D --defined-only '") + QUIREL_PACER_LIBRARY + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
  ASSERT_EQ(::pclose(pipe), 0);
  EXPECT_NE(output.find(" T delay\n"), std::string::npos) << output;
  EXPECT_NE(output.find(" T GetDirInfo\n"), std::string::npos) << output;
}

TEST(PacerLoader, MissingLibraryIsSilentAndTheProgramFolderIsTriedFirst) {
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  const bool foundBySearch = LoadPacer("/nonexistent-quirel-dir") != nullptr;
  PacerDelay delay = LoadPacer(fs::path(QUIREL_PACER_LIBRARY).parent_path().string());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  if (foundBySearch) GTEST_SKIP() << "libpacer.so is on the normal library path";
  ASSERT_NE(delay, nullptr);
  delay(-1);
}

}  // namespace
}  // namespace quirel
