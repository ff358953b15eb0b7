// Clearing the reader: quick (its e-book files) or full (e-books and
// phonebook, then a fresh download of its two fonts and its bitmap).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/environment.h"
#include "link/link.h"

namespace quirel {

// The clear button: asks the mode (ui.AskClearMode), then clears.
// 0 done, 1 failed (reported), 2 cancelled or interrupted.
[[nodiscard]] LinkResult ClearDevice(Link& link, const Environment& env);

struct MissingSystemFile {
  const char* name;          // e.g. "chnstd1j40.bin"
  std::string_view message;  // what the clear shows for it
};

// The first of the reader's three system files (in the clear's order) that
// cannot be read from the system directory; nullopt when all three can,
// with their added sizes in total.
std::optional<MissingSystemFile> FindMissingSystemFile(const Environment& env, std::uint64_t* total = nullptr);

// The line under a missing system file's box: which file, and where it was
// looked for.
std::string SystemFileNote(const Environment& env, const std::string& name);

// The same with the mode already chosen: 0 quick, any other value full.
[[nodiscard]] LinkResult ClearDevice(Link& link, const Environment& env, int mode);

}  // namespace quirel
