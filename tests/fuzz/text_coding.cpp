// Text documents in any coding (GB, Big5, UTF-8, UTF-16 with or without a
// byte-order mark, GB18030, or no text at all): the coding found, the text
// transcoded to characters the reader shows, and whole rows.
#include "convert/fuzz_entries.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FUZZ_HOLDS(quirel::convert::FuzzTextCoding(data, size));
  return 0;
}
