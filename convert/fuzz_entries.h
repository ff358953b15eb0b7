// Entry points for fuzzing the parsers of untrusted documents, shaped as
// libFuzzer wants them (bytes in, 0 out): each runs one reader on the bytes
// and lays the result out in rows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quirel::convert {

int FuzzTextCoding(const std::uint8_t* data, std::size_t size);  // coding detection, transcoding, rows
int FuzzWebPage(const std::uint8_t* data, std::size_t size);     // charset, both passes of a page
int FuzzEpub(const std::uint8_t* data, std::size_t size);
int FuzzFb2(const std::uint8_t* data, std::size_t size);
int FuzzMobi(const std::uint8_t* data, std::size_t size);
int FuzzPdf(const std::uint8_t* data, std::size_t size);

}  // namespace quirel::convert
