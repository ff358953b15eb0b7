// The reader's command set on top of the byte layer: directory paths, the
// clear commands and the download of the reader's system files.
#pragma once

#include <array>
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
// 0xC4 burst, with their checksum. Records are made safe in place. 0 or 1.
int SendDirectoryPath(Link& link, std::vector<NameRecord>& records);

// Creates one directory on the reader from the main dialog's record.
void CreateDeviceDirectory(Link& link, NameRecord& record);

int SendClearCommand(Link& link, int mode);
int SendDownloadEnd(Link& link);
int DownloadFontFile(Link& link, const Environment& env, const std::string& file, const std::string& label,
                     std::uint8_t code);
int DownloadBitmapFile(Link& link, const Environment& env);
void ReportLinkError(Link& link);
void ReportDirectoryError(Link& link);

}  // namespace quirel
