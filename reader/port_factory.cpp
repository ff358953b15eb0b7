#include "reader/port_factory.h"

#include <cstdlib>
#include <filesystem>

#include "link/backends.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"

namespace quirel::reader {

std::string ChosenPortSpec(const std::string& explicitSpec) {
  if (!explicitSpec.empty()) return explicitSpec;
  const char* fromEnvironment = std::getenv("QUIREL_PORT");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return "auto";
}

bool IsVirtualSpec(const std::string& spec) {
  return spec == "virtual" || spec.rfind("virtual:", 0) == 0 || spec.rfind("virtual,", 0) == 0;
}

bool ValidPortSpec(const std::string& spec, std::string& error) {
  if (IsVirtualSpec(spec)) {
    std::string dir;
    ReaderOptions options;
    return ParseVirtualSpec(spec, dir, options, error);
  }
  return ValidHardwareSpec(spec, error);
}

std::string VirtualReaderDir(const std::string& spec, const Environment& env) {
  std::string dir;
  ReaderOptions options;
  std::string error;
  if (IsVirtualSpec(spec) && ParseVirtualSpec(spec, dir, options, error) && !dir.empty()) return dir;
  return env.home + "/virtual-reader";
}

OpenedPort OpenPort(const std::string& spec, const Environment& env, std::string& error) {
  OpenedPort opened;
  if (IsVirtualSpec(spec)) {
    std::string dir;
    ReaderOptions options;
    if (!ParseVirtualSpec(spec, dir, options, error)) return opened;
    if (dir.empty()) dir = env.home + "/virtual-reader";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    auto reader = std::make_unique<VirtualReader>(options, MakeFirmware(dir));
    opened.virtualReader = reader.get();
    opened.port = std::move(reader);
    return opened;
  }
  opened.port = OpenHardwarePort(spec, RealSystemCalls(), opened.note, error);
  return opened;
}

}  // namespace quirel::reader
