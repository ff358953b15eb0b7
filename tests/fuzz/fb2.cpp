// FictionBook books, plain or zipped: refused with a status, or paragraphs of
// folded text that make whole rows.
#include "convert/fuzz_entries.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FUZZ_HOLDS(quirel::convert::FuzzFb2(data, size));
  return 0;
}
