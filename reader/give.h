// What the reader gives for the receive commands: 0xB3 the item at its
// cursor (a file, or every file below a folder), 0xB1 every file it holds,
// each as one item, then 0xB2.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace quirel::reader {

// One item for a file below books: 0xB3, the length - 1 in three bytes (most
// significant first), 17 name bytes (base name in 0..13, extension in
// 14..16, GBK with device codes, zero-filled), the level count, one 17-byte
// record per folder from books down, the data, and the sum of all of these.
// An empty file goes out as one 0x00 byte. nullopt when the file cannot be
// read or is longer than the size field can announce.
std::optional<std::vector<std::uint8_t>> EncodeItem(const std::filesystem::path& books,
                                                    const std::filesystem::path& file);

}  // namespace quirel::reader
