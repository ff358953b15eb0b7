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

  const std::string language = GetIniValue(before, "ConfigInfo", "Language", "\x01");
  (void)GetIniValue(before, "configinfo", "font");
  const std::string once = SetIniValue(before, "ConfigInfo", "Font", value);
  FUZZ_REQUIRE(GetIniValue(once, "ConfigInfo", "Font") == value);
  // The value kept its line: a second write changes nothing else.
  FUZZ_REQUIRE(SetIniValue(once, "ConfigInfo", "Font", value) == once);
  if (language != "\x01") FUZZ_REQUIRE(GetIniValue(once, "ConfigInfo", "Language") == language);

  // The file forms read and write the same bytes; files are slow, so one
  // input in eight takes them.
  if ((choice & 0x0E) == 0x0E) {
    static const fs::path dir = fuzz::FreshDir("ini");
    const std::string path = (dir / "config.ini").string();
    fuzz::WriteBytes(path, before);
    FUZZ_REQUIRE(ReadIniValue(path, "ConfigInfo", "Language", "\x01") == language);
    FUZZ_REQUIRE(WriteIniValue(path, "ConfigInfo", "Font", value));
    FUZZ_REQUIRE(fuzz::ReadBytes(path) == once);
  }
  return 0;
}
