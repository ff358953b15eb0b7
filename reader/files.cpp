#include "reader/firmware.h"

namespace quirel::reader {

void RegisterFileCommands(Firmware& firmware) { (void)firmware; }

}  // namespace quirel::reader
