// Every test that talks to the virtual reader runs it strict and checks at
// the end that the PC kept every handshake.
#pragma once

#include <gtest/gtest.h>

#include "reader/virtual_reader.h"

namespace quirel::testing {

inline reader::ReaderOptions StrictOptions() {
  reader::ReaderOptions options;
  options.strict = true;
  return options;
}

inline void ExpectHandshakesKept(const reader::VirtualReader& reader) {
  EXPECT_EQ(reader.Violations(), 0u) << reader.ViolationReport();
}

}  // namespace quirel::testing
