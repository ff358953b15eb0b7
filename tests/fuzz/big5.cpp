// The Big5 check and recoding on the rows' work file: any bytes give a
// verdict, a recoded file keeps the length, holds no NUL, and every pair the
// recoding replaced became a double-byte character (lead byte from 0xA1).
#include <vector>

#include "common/environment.h"
#include "convert/big5.h"
#include "convert/convert.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_ui.h"

namespace fs = std::filesystem;

using namespace quirel;
using namespace quirel::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> rows(data, data + size);
  std::vector<std::uint8_t> out;
  RecodeBig5(rows, out);
  FUZZ_REQUIRE(out.size() == rows.size());
  for (std::size_t i = 0; i < rows.size();) {
    const std::uint8_t next = i + 1 < rows.size() ? rows[i + 1] : 0;
    if (rows[i] < 0xA1 || next < 0x40) {
      FUZZ_REQUIRE(out[i] == rows[i]);
      ++i;
    } else {
      FUZZ_REQUIRE(out[i] >= 0xA1 && out[i + 1] >= 0x40);
      i += 2;
    }
  }

  const int big5 = LooksLikeBig5(data, size);
  FUZZ_REQUIRE(big5 == 0 || big5 == 1);
  // The route of a send, through the work files, for a share of the inputs
  // (files are slow, and the check above is the same one).
  if (size % 8 != 0) return 0;
  static const fs::path dir = fuzz::FreshDir("big5");
  const Environment env{dir.string(), dir.string()};
  quirel::testing::FakeUi ui;
  Context ctx{env, ui, 20};
  fuzz::WriteBytes(env.SystemFile(kEbookWork), std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_REQUIRE(LooksLikeBig5(env.SystemFile(kEbookWork)) == big5);
  const TextCode checked = CheckTextCode(ctx);
  FUZZ_REQUIRE(checked == (big5 == 1 ? TextCode::kRecoded : TextCode::kGb));
  if (checked == TextCode::kRecoded) {
    const std::string recoded = fuzz::ReadBytes(env.SystemFile(kRecodedWork));
    FUZZ_REQUIRE(recoded.size() == size);
    FUZZ_REQUIRE(recoded.find('\0') == std::string::npos);
  }
  FUZZ_REQUIRE(ui.messages.empty());
  return 0;
}
