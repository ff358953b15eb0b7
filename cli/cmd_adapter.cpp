// quirel adapter: the USB adapter's firmware version, and writing the
// firmware that came with this program into a board.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "common/translate.h"
#include "link/backends.h"
#include "link/serial_port.h"

namespace quirel::cli {
namespace {

namespace fs = std::filesystem;

// The device named after the command, else the one of --port serial:DEVICE,
// else every serial device where an adapter may sit.
std::vector<std::string> Devices(Context& context) {
  if (context.args.size() > 1) return {context.args[1]};
  if (context.portSpec().rfind("serial:", 0) == 0) return {context.portSpec().substr(7)};
  return SerialCandidates(RealSystemCalls());
}

// The firmware image beside the program: installed below share/, or in the
// build tree.
std::string FirmwareImage() {
  std::error_code ec;
  const fs::path bin = fs::read_symlink("/proc/self/exe", ec).parent_path();
  for (const fs::path& image :
       {bin / QUIREL_DATADIR_FROM_BIN / "quirel-adapter.hex", bin / ".." / "adapter" / "quirel-adapter.hex"})
    if (fs::is_regular_file(image, ec)) return image.lexically_normal().string();
  return {};
}

int Info(Context& context) {
  const std::vector<std::string> devices = Devices(context);
  if (devices.empty()) {
    std::cerr << Tr("no serial device (/dev/ttyUSB*, /dev/ttyACM*) was found") << "\n";
    return kExitFailed;
  }
  int status = kExitFailed;
  for (const std::string& device : devices) {
    SerialPort adapter(device);
    if (adapter.usable()) {
      std::cout << Tr("%s: USB adapter, firmware %s", {device, adapter.Version()}) << "\n";
      status = kExitDone;
    } else {
      std::cerr << adapter.problem() << "\n";
      if (!adapter.remedy().empty()) std::cerr << Tr("To fix: %s", {adapter.remedy()}) << "\n";
    }
  }
  return status;
}

// Runs avrdude with the board's bootloader: the newer one listens at
// 115200 baud, the older at 57600.
int Flash(Context& context) {
  const std::vector<std::string> devices = Devices(context);
  if (devices.size() != 1) return context.Usage(Tr("name the adapter's DEVICE, e.g. /dev/ttyUSB0"));
  const std::string image = FirmwareImage();
  if (image.empty()) {
    std::cerr << Tr("the firmware image quirel-adapter.hex was not found beside the program") << "\n";
    return kExitFailed;
  }
  for (const char* baud : {"115200", "57600"}) {
    const pid_t child = ::fork();
    if (child < 0) break;
    if (child == 0) {
      const std::string write = "flash:w:" + image + ":i";
      ::execlp("avrdude", "avrdude", "-p", "atmega328p", "-c", "arduino", "-P", devices[0].c_str(), "-b", baud, "-D",
               "-U", write.c_str(), static_cast<char*>(nullptr));
      std::cerr << Tr("avrdude could not be started: install it (sudo apt install avrdude)") << "\n";
      ::_exit(127);
    }
    int raw = 0;
    if (::waitpid(child, &raw, 0) != child || !WIFEXITED(raw) || WEXITSTATUS(raw) == 127) return kExitFailed;
    if (WEXITSTATUS(raw) == 0) {
      std::cout << Tr("the firmware is in the adapter on %s", {devices[0]}) << "\n";
      return kExitDone;
    }
  }
  return kExitFailed;
}

int RunAdapter(Context& context) {
  if (context.args.empty() || context.args.size() > 2) return context.Usage(Tr("needs info or flash"));
  if (context.args[0] == "info") return Info(context);
  if (context.args[0] == "flash") return Flash(context);
  return context.Usage(Tr("needs info or flash"));
}

}  // namespace

QUIREL_CLI_COMMAND({"adapter", N_("show or write the USB adapter's firmware"),
                    N_("Usage: quirel adapter info [DEVICE]\n"
                       "       quirel adapter flash [DEVICE]\n"
                       "\n"
                       "The USB adapter reaches the reader from a PC without a parallel port.\n"
                       "  info    says which firmware the adapter on DEVICE runs (without DEVICE:\n"
                       "          the device of --port serial:DEVICE, else every /dev/ttyUSB* and\n"
                       "          /dev/ttyACM*)\n"
                       "  flash   writes the firmware that came with this program into the board on\n"
                       "          DEVICE through its bootloader, with avrdude\n"),
                    &RunAdapter});

}  // namespace quirel::cli
