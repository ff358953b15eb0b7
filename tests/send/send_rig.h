// What the send tests share: a scratch folder, the virtual reader on a link
// with a scripted user interface, a scripted word processor, and a reading of
// the reader's byte log as commands.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/environment.h"
#include "convert/convert.h"
#include "link/link.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"
#include "send/send_job.h"
#include "tests/support/fake_ui.h"
#include "tests/support/strict_reader.h"

namespace quirel::send::test {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quirel-send-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// Says it is installed and writes a fixed text where the document's text goes.
class FakeWord final : public WordProcessor {
 public:
  bool Installed() override {
    ++installedAsked;
    return installed;
  }
  convert::ConvertResult ToText(convert::Context&, const std::string& doc) override {
    converted.push_back(doc);
    if (failConversion) return convert::ConvertResult::kFailed;
    WriteFile(convert::TextPathFor(doc), text);
    return convert::ConvertResult::kDone;
  }
  bool OpenInstance() override {
    ++opened;
    return instanceOpens;
  }
  bool ConvertInInstance(const std::string& doc) override {
    converted.push_back(doc);
    WriteFile(convert::TextPathFor(doc), text);
    return true;
  }
  void CloseInstance() override { ++closed; }

  bool installed = false;
  bool instanceOpens = true;
  bool failConversion = false;
  std::string text = "word text\r\n";
  int installedAsked = 0, opened = 0, closed = 0;
  std::vector<std::string> converted;
};

struct Command {
  std::uint8_t code;
  std::vector<std::uint8_t> payload;
};

// Splits the reader's log at every link opening (0..20) followed by a burst
// of ten equal bytes. Bytes before the first opening are dropped.
inline std::vector<Command> SplitCommands(const std::vector<std::uint8_t>& log) {
  std::vector<Command> commands;
  std::size_t i = 0;
  while (i < log.size()) {
    bool opening = i + 31 <= log.size();
    for (std::size_t k = 0; opening && k < 21; ++k) opening = log[i + k] == k;
    for (std::size_t k = 22; opening && k < 31; ++k) opening = log[i + k] == log[i + 21];
    if (opening) {
      commands.push_back({log[i + 21], {}});
      i += 31;
      continue;
    }
    if (!commands.empty()) commands.back().payload.push_back(log[i]);
    ++i;
  }
  return commands;
}

// One file announcement taken apart.
struct Announcement {
  int depth = 0;
  std::vector<std::string> folders;  // record bytes up to their first zero
  std::vector<std::uint8_t> records;
  std::vector<std::uint8_t> header;
  std::vector<std::uint8_t> data;
  std::string Name() const {  // header bytes 0..13 up to the first zero
    std::string n;
    for (int i = 0; i < 14 && header[i] != 0; ++i) n += static_cast<char>(header[i]);
    return n;
  }
  std::string Extension() const {
    std::string e;
    for (int i = 14; i < 17 && header[i] != 0; ++i) e += static_cast<char>(header[i]);
    return e;
  }
};

inline Announcement ParseFile(const Command& command) {
  Announcement a;
  const auto& p = command.payload;
  a.depth = p.at(0);
  std::size_t at = 1;
  for (int j = 0; j < a.depth; ++j, at += 17) {
    a.records.insert(a.records.end(), p.begin() + static_cast<long>(at), p.begin() + static_cast<long>(at + 17));
    std::string name;
    for (std::size_t k = at; k < at + 17 && p[k] != 0; ++k) name += static_cast<char>(p[k]);
    a.folders.push_back(name);
  }
  a.header.assign(p.begin() + static_cast<long>(at), p.begin() + static_cast<long>(at + 21));
  a.data.assign(p.begin() + static_cast<long>(at + 21), p.end());
  return a;
}

inline std::vector<Announcement> Files(const std::vector<Command>& commands) {
  std::vector<Announcement> files;
  for (const Command& c : commands)
    if (c.code == 0x7E) files.push_back(ParseFile(c));
  return files;
}

struct Rig {
  Rig()
      : env{(tmp.path() / "home").string(), (tmp.path() / "system").string()},
        reader(testing::StrictOptions(), reader::MakeFirmware(tmp.path() / "reader")),
        link(reader, clock, ui),
        ctx{env, ui, 20} {
    fs::create_directories(env.home);
    fs::create_directories(env.systemDir);
    auto fake = std::make_unique<FakeWord>();
    word = fake.get();
    job = std::make_unique<SendJob>(link, ctx, std::move(fake));
  }
  ~Rig() { testing::ExpectHandshakesKept(reader); }

  fs::path Local(const std::string& relative) const { return tmp.path() / "local" / relative; }
  fs::path Books() const { return tmp.path() / "reader" / "books"; }
  std::vector<Command> Commands() const { return SplitCommands(reader.Received()); }
  testing::FakeProgress& Progress() { return *ui.Fake(ProgressKind::Send); }

  TempDir tmp;
  Environment env;
  reader::VirtualReader reader;
  VirtualClock clock;
  testing::FakeUi ui;
  Link link;
  convert::Context ctx;
  FakeWord* word = nullptr;
  std::unique_ptr<SendJob> job;
};

}  // namespace quirel::send::test
