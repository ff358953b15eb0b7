// The reader's storage on disk, shared by its command handlers: names as the
// reader holds them (GBK with its own codes for 進迴槃卍脦) against the
// readable UTF-8 names of the storage folder, safe descent into folders, the
// cursor file and an event log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quirel::reader {

class Firmware;

// A name from the wire (GBK, device codes) as a UTF-8 name that stays inside
// its folder: "/" and NUL become "_"; "", "." and ".." become "_".
std::string NameFromDevice(std::string_view deviceGbk);
// A UTF-8 name as the reader holds it: GBK with the device codes in place of
// the five characters; characters without a GBK form become '?'.
std::string NameToDevice(std::string_view utf8);
// The name in a 17-byte record: the bytes before its first 0.
std::string RecordName(std::span<const std::uint8_t> record);
// Cuts GBK bytes to at most maxBytes without splitting a double-byte character.
std::string CutGbk(std::string_view gbk, std::size_t maxBytes);

// Walks down from base through the given UTF-8 names, creating missing
// folders. Refuses to step onto a symbolic link or through a plain file.
std::optional<std::filesystem::path> EnterFolders(const std::filesystem::path& base,
                                                  const std::vector<std::string>& names);

// Deletes everything inside dir (dir itself stays); links are removed, not followed.
void RemoveContents(const std::filesystem::path& dir);

// Regular files below dir, depth first, each folder's entries in name order;
// symbolic links are left out.
std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path& dir);

// The item at the cursor, relative to books/, when the cursor file names one
// that stays inside books/ ("/" separated, no "..").
std::optional<std::filesystem::path> ReadCursor(const Firmware& firmware);
bool WriteCursor(const Firmware& firmware, const std::string& relative);
// Same check as ReadCursor applies: relative, no "." or ".." components.
bool IsInsideRelative(const std::filesystem::path& relative);

// One line appended to the reader's event log (root/events.log): what the
// device noticed but has no way to report (wrong checksums, stray bytes).
void LogEvent(const Firmware& firmware, std::string_view line);
std::vector<std::string> ReadEvents(const std::filesystem::path& root);

}  // namespace quirel::reader
