// Clearing the reader: quick (its e-book files) or full (e-books and
// phonebook, then a fresh download of its two fonts and its bitmap).
#pragma once

#include "common/environment.h"
#include "link/link.h"

namespace quirel {

// The clear button: asks the mode (ui.AskClearMode), then clears.
// 0 done, 1 failed (reported), 2 cancelled or interrupted.
int ClearDevice(Link& link, const Environment& env);

// The same with the mode already chosen: 0 quick, any other value full.
int ClearDevice(Link& link, const Environment& env, int mode);

}  // namespace quirel
