#include "reader/firmware.h"

namespace quirel::reader {

// Each feature of the reader registers its command codes in its own file.
void RegisterDirectoryCommands(Firmware& firmware);  // dirs.cpp: 0xC4, 0x4E
void RegisterClearCommands(Firmware& firmware);      // clear.cpp: 0x35, 0x8D, 0xF7
void RegisterGiveCommands(Firmware& firmware);       // give.cpp: 0xB3, 0xB1
void RegisterFileCommands(Firmware& firmware);       // files.cpp: 0x7E
void RegisterPhonebookCommands(Firmware& firmware);  // phonebook.cpp: 0x06, 0xFA, 0x9B

std::unique_ptr<Firmware> MakeFirmware(const std::filesystem::path& root) {
  auto firmware = std::make_unique<Firmware>(root);
  RegisterDirectoryCommands(*firmware);
  RegisterClearCommands(*firmware);
  RegisterGiveCommands(*firmware);
  RegisterFileCommands(*firmware);
  RegisterPhonebookCommands(*firmware);
  return firmware;
}

}  // namespace quirel::reader
