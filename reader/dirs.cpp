#include "reader/firmware.h"

namespace quirel::reader {

void RegisterDirectoryCommands(Firmware& firmware) { (void)firmware; }

}  // namespace quirel::reader
