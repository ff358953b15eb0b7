// The reader's command set on top of the byte layer: directory paths, the
// clear commands and the download of the reader's system files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/environment.h"
#include "link/link.h"

namespace quirel {

// One 17-byte slot holding a GBK name of at most 16 bytes and a 0.
using NameRecord = std::array<std::uint8_t, 17>;

// Fills a record from GBK bytes: the name cut at 17 bytes, zero-filled.
NameRecord MakeNameRecord(const std::string& gbkName);

// The half-character cut (byte 15 cleared when it would open a double-byte
// character, byte 16 always 0) followed by the device-code substitution on
// the pairs starting at bytes 0..15.
void MakeRecordSafe(NameRecord& record);

// Sends n + 1 records (n = records.size() - 1) after a link opening and the
// 0xC4 burst, with their checksum. Records are made safe in place. 0 or 1;
// no records: nothing is sent, 0.
[[nodiscard]] LinkResult SendDirectoryPath(Link& link, std::vector<NameRecord>& records);

// Creates one directory on the reader from the main dialog's record: the
// path, then a new link opening and the end-of-operation burst. Returns 0
// when " 创建目录完成!" was shown, else 1.
[[nodiscard]] LinkResult CreateDeviceDirectory(Link& link, NameRecord& record);

// The create-directory button: the UTF-8 name from the dialog goes to GBK,
// an empty name (or one without a GBK form) is refused with a message;
// otherwise CreateDeviceDirectory. 0 done, 1 refused or failed.
[[nodiscard]] LinkResult CreateDirectoryCommand(Link& link, const std::string& utf8Name);

// The reader's system files in the system directory, and their block size.
inline constexpr const char* kFontFileJ = "chnstd1j40.bin";
inline constexpr const char* kFontFileF = "chnstd1f40.bin";
inline constexpr const char* kBitmapFile = "ebbmp40.bin";
inline constexpr std::size_t kSystemBlockSize = 8192;

// The clear burst (0x35 quick for mode 0, 0x8D full otherwise) after a link
// opening, then a 10 ms pause. 0 or 1.
[[nodiscard]] LinkResult SendClearCommand(Link& link, int mode);
[[nodiscard]] LinkResult SendDownloadEnd(Link& link);
// Both downloads drive the clearing progress window (ProgressKind::Clear)
// when one exists. 0, 1 or 2 (interrupted from that window).
[[nodiscard]] LinkResult DownloadFontFile(Link& link, const Environment& env, const std::string& file,
                                          const std::string& label, std::uint8_t code);
[[nodiscard]] LinkResult DownloadBitmapFile(Link& link, const Environment& env);
void ReportLinkError(Link& link);
void ReportDirectoryError(Link& link);

}  // namespace quirel
