// libpacer.so: a microsecond busy-wait and a directory-size walk, exported
// under their plain C names so that any caller can look them up by name.
#pragma once

#include <cstdint>

#define QUIREL_PACER_EXPORT __attribute__((visibility("default")))

extern "C" {

// Spins until strictly more than `microseconds` have passed on the monotonic
// clock. A negative wait returns after one reading.
QUIREL_PACER_EXPORT void delay(std::int32_t microseconds);

// Adds the sizes (low 32 bits, wrapping) and the number of all files below
// dir to *size and *count. Either pointer may be null; a path that cannot be
// listed leaves both untouched. The accumulators are never reset.
QUIREL_PACER_EXPORT void GetDirInfo(const char* dir, std::int32_t* size, std::int32_t* count);
}
