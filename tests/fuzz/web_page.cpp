// Web pages as they come: the declared charset, the decoding it asks for, the
// markup pass and the rows of the kept text in both fonts.
#include "convert/fuzz_entries.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FUZZ_HOLDS(quirel::convert::FuzzWebPage(data, size));
  return 0;
}
