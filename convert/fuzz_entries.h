// Entry points for fuzzing the parsers of untrusted documents: each runs one
// reader on the bytes, lays the result out in rows and checks what the
// conversion promises. They return nullptr when every promise held, else
// what was broken (the fuzz target then aborts, so the fuzzer keeps the input).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quirel::convert {

const char* FuzzTextCoding(const std::uint8_t* data, std::size_t size);  // coding detection, transcoding, rows
const char* FuzzWebPage(const std::uint8_t* data, std::size_t size);     // charset, both passes of a page
const char* FuzzEpub(const std::uint8_t* data, std::size_t size);
const char* FuzzFb2(const std::uint8_t* data, std::size_t size);
const char* FuzzMobi(const std::uint8_t* data, std::size_t size);
const char* FuzzPdf(const std::uint8_t* data, std::size_t size);
const char* FuzzMarkdown(const std::uint8_t* data, std::size_t size);
const char* FuzzDocx(const std::uint8_t* data, std::size_t size);
const char* FuzzOdt(const std::uint8_t* data, std::size_t size);

}  // namespace quirel::convert
