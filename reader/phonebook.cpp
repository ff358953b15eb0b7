#include "reader/firmware.h"

namespace quirel::reader {

void RegisterPhonebookCommands(Firmware& firmware) { (void)firmware; }

}  // namespace quirel::reader
