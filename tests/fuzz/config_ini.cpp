// config.ini as anybody may have left it: writing the viewer's font keeps the
// file readable, the value reads back, and the other key survives.
#include "common/ini.h"
#include "tests/fuzz/fuzz_support.h"

namespace fs = std::filesystem;

using namespace quirel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.Byte();
  const std::string value = (choice & 1) != 0 ? "1" : "0";
  const std::string_view before = in.Rest();

  static const fs::path dir = fuzz::FreshDir("ini");
  const std::string path = (dir / "config.ini").string();
  fuzz::WriteBytes(path, before);
  const std::string language = ReadIniValue(path, "ConfigInfo", "Language", "\x01");
  (void)ReadIniValue(path, "configinfo", "font");

  FUZZ_REQUIRE(WriteIniValue(path, "ConfigInfo", "Font", value));
  FUZZ_REQUIRE(ReadIniValue(path, "ConfigInfo", "Font") == value);
  // The value kept its line: a second write changes nothing else.
  const std::string once = fuzz::ReadBytes(path);
  FUZZ_REQUIRE(WriteIniValue(path, "ConfigInfo", "Font", value));
  FUZZ_REQUIRE(fuzz::ReadBytes(path) == once);
  if (language != "\x01") FUZZ_REQUIRE(ReadIniValue(path, "ConfigInfo", "Language") == language);
  return 0;
}
