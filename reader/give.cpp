#include "reader/firmware.h"

namespace quirel::reader {

void RegisterGiveCommands(Firmware& firmware) { (void)firmware; }

}  // namespace quirel::reader
