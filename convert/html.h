// The in-memory steps of the web-page conversion, for tests and benchmarks.
#pragma once

#include <string>

namespace quirel::convert {

// The page's bytes up to the first 0x00; false when it cannot be read.
bool ReadPage(const std::string& path, std::string& page);

// The page as the first pass sees it: UTF-8 (by its bytes or its <meta>
// charset) transcoded to GBK, then lower-cased without touching the second
// byte of a double-byte character.
std::string PreparePage(std::string raw);

// The first pass over a prepared page: the kept text. nonStandard is set when
// a search ran off the end of the page (unbalanced markup); what was kept up
// to then is returned.
std::string StripHtmlText(const std::string& lowered, bool& nonStandard);

}  // namespace quirel::convert
