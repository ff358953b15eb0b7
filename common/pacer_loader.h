// Binds the optional timing library libpacer.so at start-up. Nothing in the
// program needs it: a missing library or export is passed over in silence.
#pragma once

#include <cstdint>
#include <string>

namespace quirel {

using PacerDelay = void (*)(std::int32_t microseconds);

// Loads libpacer.so from programDir, else through the normal library search,
// and resolves "delay". Both stay loaded for the life of the process; later
// calls keep what the first successful one found. The resolved delay, or
// nullptr when the library or export was missing.
PacerDelay LoadPacer(const std::string& programDir);

}  // namespace quirel
