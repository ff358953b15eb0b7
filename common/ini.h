// Writes one key of an INI file, keeping the rest of the file as it was. The
// file is replaced through a temporary file, so a failed write loses nothing.
#pragma once

#include <string>
#include <string_view>

namespace quirel {

bool WriteIniValue(const std::string& path, const std::string& section, const std::string& key,
                   const std::string& value);

// Reads one key; returns fallback when the file, section or key is missing.
std::string ReadIniValue(const std::string& path, const std::string& section, const std::string& key,
                         const std::string& fallback = {});

// The same two on the file's bytes in memory: SetIniValue gives the bytes
// WriteIniValue would write.
std::string SetIniValue(std::string_view text, const std::string& section, const std::string& key,
                        const std::string& value);
std::string GetIniValue(std::string_view text, const std::string& section, const std::string& key,
                        const std::string& fallback = {});

// Writes bytes to path through a temporary file in the same directory and a
// rename, so that readers never see a half-written file.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace quirel
