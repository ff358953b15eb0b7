// The five characters that the reader's font holds at its own codes
// 0xA9 0xFA..0xA9 0xFE instead of their GBK codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quirel {

struct DeviceCode {
  std::uint8_t gbkLead, gbkTrail, deviceTrail;  // the device lead is always 0xA9
};

inline constexpr std::uint8_t kDeviceLead = 0xA9;
inline constexpr DeviceCode kDeviceCodeMap[5] = {
    {0xDF, 0x4D, 0xFA},  // 進
    {0xDE, 0x92, 0xFB},  // 迴
    {0x98, 0x84, 0xFC},  // 槃
    {0x85, 0x64, 0xFD},  // 卍
    {0xC3, 0x8E, 0xFE},  // 脦
};

// Replaces the GBK pairs that start at positions 0..lastStart by the reader's
// codes. Every position is looked at, not only character starts, and only the
// first matching row applies; bytes must hold lastStart + 2 bytes at least.
inline void ApplyDeviceCodes(std::uint8_t* bytes, std::size_t lastStart) {
  for (std::size_t j = 0; j <= lastStart; ++j) {
    for (const DeviceCode& code : kDeviceCodeMap) {
      if (bytes[j] == code.gbkLead && bytes[j + 1] == code.gbkTrail) {
        bytes[j] = kDeviceLead;
        bytes[j + 1] = code.deviceTrail;
        break;
      }
    }
  }
}

// The reader's codes back to the GBK characters they stand for, walking
// double-byte characters whole.
inline std::string RestoreDeviceCodes(std::string_view deviceGbk) {
  std::string gbk(deviceGbk);
  for (std::size_t i = 0; i + 1 < gbk.size(); ++i) {
    const auto c = static_cast<std::uint8_t>(gbk[i]);
    if (c < 0x81 || c > 0xFE) continue;
    const auto d = static_cast<std::uint8_t>(gbk[i + 1]);
    if (c == kDeviceLead && d >= 0xFA && d <= 0xFE) {
      gbk[i] = static_cast<char>(kDeviceCodeMap[d - 0xFA].gbkLead);
      gbk[i + 1] = static_cast<char>(kDeviceCodeMap[d - 0xFA].gbkTrail);
    }
    ++i;
  }
  return gbk;
}

// GBK text to the reader's codes, walking double-byte characters whole.
inline std::string ToDeviceCodes(std::string gbk) {
  for (std::size_t i = 0; i + 1 < gbk.size(); ++i) {
    const auto c = static_cast<std::uint8_t>(gbk[i]);
    if (c < 0x81 || c > 0xFE) continue;
    const auto d = static_cast<std::uint8_t>(gbk[i + 1]);
    for (const DeviceCode& code : kDeviceCodeMap) {
      if (c == code.gbkLead && d == code.gbkTrail) {
        gbk[i] = static_cast<char>(kDeviceLead);
        gbk[i + 1] = static_cast<char>(code.deviceTrail);
        break;
      }
    }
    ++i;
  }
  return gbk;
}

}  // namespace quirel
