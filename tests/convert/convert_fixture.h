// A system directory of its own for every test, the scripted user
// interface, and helpers to write sources and read the work files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>

#include "convert/convert.h"
#include "convert/ebook_check.h"
#include "tests/support/fake_ui.h"

namespace quirel::convert::testing {

namespace fs = std::filesystem;

// Rows written out by hand: each text padded with blanks to the width.
inline std::string Rows(std::initializer_list<std::string> rows, int width = 20) {
  std::string out;
  for (const std::string& row : rows) {
    EXPECT_LE(row.size(), static_cast<std::size_t>(width)) << "row text too long: " << row;
    out += row + std::string(static_cast<std::size_t>(width) - std::min<std::size_t>(row.size(), width), ' ');
  }
  return out;
}

// Rows that a conversion made, held to what the reader needs of every byte
// (Big5 rows before their recoding aside).
inline std::string Checked(std::string rows, int width = 20) {
  if (LooksLikeBig5(reinterpret_cast<const std::uint8_t*>(rows.data()), std::min<std::size_t>(rows.size(), 2047)) == 1)
    return rows;
  const std::vector<RowFault> faults = CheckEbookRows(rows, width, 1);
  if (!faults.empty())
    ADD_FAILURE() << "row " << faults[0].row << ", column " << faults[0].column << ": " << faults[0].what;
  return rows;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class ConvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("quirel-convert-" + std::string(info->test_suite_name()) + "-" + info->name() +
                                         "-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "system");
    fs::create_directories(root_ / "docs");
    env_.home = (root_ / "home").string();
    env_.systemDir = (root_ / "system").string();
    fs::create_directories(env_.home);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  Context Ctx(int width = 20) { return Context{env_, ui_, width}; }

  // A source document in the test's own folder.
  std::string Doc(const std::string& name, const std::string& bytes) {
    const fs::path p = root_ / "docs" / name;
    WriteFile(p, bytes);
    return p.string();
  }
  std::string Work(const char* name) const { return ReadFile(fs::path(env_.systemDir) / name); }
  bool WorkExists(const char* name) const { return fs::exists(fs::path(env_.systemDir) / name); }

  // TextToEbook on the bytes; the rows of the work file.
  std::string TextRows(const std::string& bytes, int width = 20) {
    Context ctx = Ctx(width);
    EXPECT_EQ(TextToEbook(ctx, Doc("source.txt", bytes)), ConvertResult::kDone);
    return Checked(Work(kEbookWork), width);
  }
  std::string HtmlRows(const std::string& bytes, int width = 20) {
    Context ctx = Ctx(width);
    EXPECT_EQ(HtmlTextToEbook(ctx, Doc("page.htm", bytes)), ConvertResult::kDone);
    return Checked(Work(kEbookWork), width);
  }

  fs::path root_;
  Environment env_;
  quirel::testing::FakeUi ui_;
};

}  // namespace quirel::convert::testing
