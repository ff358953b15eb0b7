// The in-memory steps of the web-page conversion, for tests and benchmarks.
#pragma once

#include <string>

#include "convert/convert.h"

namespace quirel::convert {

// The page's bytes; false when it cannot be read.
bool ReadPage(const std::string& path, std::string& page);

// The page as the first pass sees it: a page in UTF-16 (by its mark or its
// shape) decoded whole; any other page up to its first 0x00 byte, read in
// the charset its <meta> declares (else UTF-8 or GB18030 by its bytes) and
// turned into the reader's GB characters, GB and Big5 pages as they are;
// then lower-cased without touching the second byte of a double-byte
// character. coding says what the Big5 check is to make of its rows.
std::string PreparePage(std::string raw, RowCoding& coding);
std::string PreparePage(std::string raw);

// The first pass over a prepared page: the kept text. nonStandard is set when
// a search ran off the end of the page (unbalanced markup); what was kept up
// to then is returned.
std::string StripHtmlText(const std::string& lowered, bool& nonStandard);

}  // namespace quirel::convert
