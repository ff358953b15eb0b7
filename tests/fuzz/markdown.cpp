// Markdown (any bytes, in any coding): refused as no text, or paragraphs of
// folded text that make whole rows.
#include "convert/fuzz_entries.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FUZZ_HOLDS(quirel::convert::FuzzMarkdown(data, size));
  return 0;
}
