// Starting an outside program (the word processor) and waiting for it.
#pragma once

#include <string>
#include <vector>

namespace quirel::convert {

// Runs argv[0] (looked up in PATH when it holds no "/") with the other words
// as its arguments, its input and output going nowhere. Returns its exit
// status, or -1 when it could not be started or did not exit normally.
[[nodiscard]] int RunProgram(const std::vector<std::string>& argv);

}  // namespace quirel::convert
