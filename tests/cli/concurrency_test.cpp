// Several programs at once on one program directory: each keeps its own
// work, the phonebook loses no update, and the reader serves one at a time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/file_lock.h"
#include "common/text.h"
#include "resources/messages.h"

namespace quirel::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kRounds = 20;

class Concurrently : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("quirel-many-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // The quirel command line for words, on the shared home and system folder.
  std::string Command(const std::string& words) const {
    return "env -u QUIREL_PORT QUIREL_HOME='" + (dir / "home").string() + "' QUIREL_SYSTEM_DIR='" +
           (dir / "system").string() + "' '" QUIREL_BINARY_DIR "/cli/quirel' " + words;
  }

  // Runs every command line at the same time; their exit statuses, and
  // what each printed on standard error in err.
  std::vector<int> Together(const std::vector<std::string>& lines, std::vector<std::string>* err = nullptr) {
    std::string script = "cd '" + dir.string() + "' || exit 1; ";
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const std::string n = std::to_string(k);
      script += "(" + Command(lines[k]) + " >out" + n + " 2>err" + n + " </dev/null; echo $? >status" + n + ") & ";
    }
    script += "wait";
    EXPECT_EQ(std::system(script.c_str()), 0);
    std::vector<int> statuses;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      statuses.push_back(std::stoi("0" + Slurp(dir / ("status" + std::to_string(k)))));
      if (err != nullptr) err->push_back(Slurp(dir / ("err" + std::to_string(k))));
    }
    return statuses;
  }

  static std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // A book of its own text: n lines of four characters in GBK.
  void WriteBook(const std::string& name, const std::string& utf8Line) const {
    std::string gbk;
    ASSERT_TRUE(Utf8ToGbk(utf8Line + "\r\n", gbk));
    std::ofstream out(dir / name, std::ios::binary);
    for (int k = 0; k < 20000; ++k) out << gbk;
  }

  // No work folder of any run is left behind.
  void ExpectNoWorkLeft() const {
    std::vector<std::string> left;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir / "system" / "work", ec))
      left.push_back(entry.path().filename().string());
    EXPECT_TRUE(left.empty()) << left.front();
  }

  fs::path dir;
};

TEST_F(Concurrently, ConvertsAndSendsKeepEachOthersBooksApart) {
  WriteBook("a.txt", "甲乙丙丁甲乙丙丁");
  WriteBook("b.txt", "子丑寅卯子丑寅卯");
  // What each book is when made alone.
  ASSERT_EQ(Together({"convert a.txt a.ref"}), std::vector<int>{0});
  ASSERT_EQ(Together({"convert b.txt b.ref"}), std::vector<int>{0});
  const std::string a = Slurp(dir / "a.ref"), b = Slurp(dir / "b.ref");
  ASSERT_NE(a, b);
  int wrong = 0;
  for (int round = 0; round < kRounds; ++round) {
    fs::remove_all(dir / "r1");
    fs::remove_all(dir / "r2");
    const std::vector<int> statuses = Together(
        {"convert a.txt a.ebk", "convert b.txt b.ebk", "--port virtual:r1 send a.txt", "--port virtual:r2 send b.txt"});
    EXPECT_EQ(statuses, std::vector<int>({0, 0, 0, 0})) << "round " << round;
    wrong += (Slurp(dir / "a.ebk") != a) + (Slurp(dir / "b.ebk") != b) + (Slurp(dir / "r1/books/a.ebk") != a) +
             (Slurp(dir / "r2/books/b.ebk") != b);
  }
  EXPECT_EQ(wrong, 0) << "books of " << 4 * kRounds << " holding the wrong text";
  ExpectNoWorkLeft();
}

TEST_F(Concurrently, AReaderInUseIsRefusedNamingTheProgramThatHoldsIt) {
  fs::create_directories(dir / "r");
  FileLock held((dir / "r" / "port.lock").string(), FileLock::Mode::kTry);
  ASSERT_TRUE(held.held());
  held.SetHolder("quirel send（进程 77）");
  std::vector<std::string> err;
  EXPECT_EQ(Together({"--port virtual:r mkdir 书"}, &err), std::vector<int>{1});
  EXPECT_EQ(err[0], std::string(msg::kPortBusy) + "quirel send（进程 77）\n");
  EXPECT_FALSE(fs::exists(dir / "r" / "books" / "书"));
  held.Release();
  EXPECT_EQ(Together({"--port virtual:r mkdir 书"}), std::vector<int>{0});
}

TEST_F(Concurrently, PhonebookWritersLoseNoRecord) {
  constexpr int kWriters = 4;
  std::vector<std::string> expected;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::string> lines;
    for (int k = 0; k < kWriters; ++k) {
      const std::string name = "张" + std::to_string(round) + "-" + std::to_string(k);
      expected.push_back(name);
      lines.push_back("phonebook add --name " + name + " --mobile 1390000" + std::to_string(k));
    }
    EXPECT_EQ(Together(lines), std::vector<int>(kWriters, 0)) << "round " << round;
  }
  std::vector<std::string> err;
  ASSERT_EQ(Together({"phonebook list"}, &err), std::vector<int>{0}) << err[0];
  const std::string listed = Slurp(dir / "out0");
  int lost = 0;
  for (const std::string& name : expected) lost += listed.find(name + "\n") == std::string::npos;
  EXPECT_EQ(lost, 0) << "records of " << expected.size() << " lost";
  EXPECT_FALSE(fs::exists(dir / "home" / "tarnviktelcom.bak"));  // never found damaged
}

}  // namespace
}  // namespace quirel::cli
