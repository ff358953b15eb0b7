#include "reader/firmware.h"

namespace quirel::reader {

void RegisterClearCommands(Firmware& firmware) { (void)firmware; }

}  // namespace quirel::reader
