// Receiving files from the reader: the item at its cursor or everything,
// written below a local target folder that mirrors the reader's folders.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/link.h"

namespace quirel {

inline constexpr std::uint8_t kReceiveCursorItem = 0xB3;
inline constexpr std::uint8_t kReceiveEverything = 0xB1;

// A receive target must be an absolute folder path.
bool CheckReceiveTarget(const std::string& target);

// One name as the reader sends it (GBK, with its own codes for the five
// characters 進迴槃卍脦) as a local UTF-8 name that stays inside its folder:
// "/" and NUL become "_", and "", "." and ".." become "_".
std::string ReceivedName(std::string_view gbk);

// Takes the item stream after the mode command (kReceiveCursorItem or
// kReceiveEverything) and writes each file below target. Every outcome is
// shown; on completion the folder tree is expanded to target.
// 0 all received, 1 failed or some files not created, 2 interrupted.
[[nodiscard]] LinkResult ReceiveFiles(Link& link, std::uint8_t mode, const std::string& target);

}  // namespace quirel
