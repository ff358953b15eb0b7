// DOCX documents (any bytes): refused as damaged, protected or without
// text, or paragraphs of folded text that make rows the reader reads right.
#include "convert/fuzz_entries.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FUZZ_HOLDS(quirel::convert::FuzzDocx(data, size));
  return 0;
}
