// The bytes that announce one file to the reader: the path records of the
// folders it goes into and the 21-byte header with name, extension, length
// and checksum. Names are taken from UTF-8 paths and sent in GBK.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/commands.h"

namespace quirel::send {

using FileHeader = std::array<std::uint8_t, 21>;

// The length field has 24 bits.
inline constexpr std::uint64_t kMaxSendLength = 0xFFFFFF;
// Data go out in blocks of this size, with a message pump and an interrupt
// check before each block (and before each byte of the last partial block).
inline constexpr std::size_t kBlockSize = 1000;

// Builds the header from the GBK name without its extension, the GBK
// extension without the dot (ignored when convertFormat: then "ebk") and the
// data length (an empty file is announced as 1 byte).
FileHeader MakeFileHeader(const std::string& gbkBase, const std::string& gbkExtension, bool convertFormat,
                          std::uint32_t length);

// Splits the last component of a UTF-8 path at its last dot and converts
// both parts to GBK. False when the name has no GBK form.
bool HeaderNameOf(const std::string& path, std::string& gbkBase, std::string& gbkExtension);

// The path records of a file depth folders below the top of the sent tree:
// one per folder, outermost first, the names of the last depth folders of
// the path, made safe. When the path has too few folders the file goes to
// the reader's top level and depth becomes 0. False when a folder name has
// no GBK form.
bool BuildPathRecords(const std::string& path, int& depth, std::vector<NameRecord>& records);

// The level + 1 records of a folder path itself (its last level + 1 names),
// cut at 17 bytes and zero-filled, not yet made safe. Returns 1 when the path
// has too few folders, 2 when a name has no GBK form, else 0.
[[nodiscard]] int BuildFolderRecords(const std::string& folder, int level, std::vector<NameRecord>& records);

}  // namespace quirel::send
