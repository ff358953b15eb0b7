// A PC and a virtual reader on one cable, with temporary storage, for the
// command, clear and receive tests.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/environment.h"
#include "link/link.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"
#include "tests/support/fake_ui.h"
#include "tests/support/strict_reader.h"

namespace quirel::testing {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline fs::path MakeTempDir() {
  std::string pattern = (fs::temp_directory_path() / "quirel-commands-XXXXXX").string();
  return fs::path(::mkdtemp(pattern.data()));
}

inline Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteAll(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteAll(const fs::path& path, const std::string& text) { WriteAll(path, Bytes(text.begin(), text.end())); }

// The link opening as the reader sees it: 0, 1, ..., 20.
inline Bytes Probe() {
  Bytes b;
  for (int i = 0; i <= 20; ++i) b.push_back(static_cast<std::uint8_t>(i));
  return b;
}

inline Bytes Burst(std::uint8_t code) { return Bytes(10, code); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A command whose reply is fixed in advance: given as soon as the burst is in.
class ScriptedReply final : public reader::CommandHandler {
 public:
  ScriptedReply(reader::Firmware& firmware, Bytes reply) : firmware_(firmware), reply_(std::move(reply)) {}
  bool Start() override {
    firmware_.reader().Give(reply_);
    return false;
  }
  bool OnByte(std::uint8_t) override { return false; }

 private:
  reader::Firmware& firmware_;
  Bytes reply_;
};

struct Rig {
  fs::path dir = MakeTempDir();
  Environment env{(dir / "home").string(), (dir / "system").string()};
  reader::VirtualReader reader{StrictOptions(), reader::MakeFirmware(dir / "reader")};
  VirtualClock clock;
  FakeUi ui;
  Link link{reader, clock, ui};

  Rig() { fs::create_directories(env.systemDir); }
  ~Rig() {
    ExpectHandshakesKept(reader);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  reader::Firmware& firmware() { return *reader.firmware(); }
  fs::path Books() { return firmware().Books(); }

  // The reader answers the receive command `code` with exactly these bytes.
  void ReplyTo(std::uint8_t code, const Bytes& reply) {
    firmware().Register(code, [reply](reader::Firmware& fw) { return std::make_unique<ScriptedReply>(fw, reply); });
  }
};

}  // namespace quirel::testing
