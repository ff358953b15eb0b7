#include "common/pacer_loader.h"

#include <atomic>
#include <mutex>

#if __has_include(<dlfcn.h>)
#include <dlfcn.h>
#define QUIREL_HAVE_DLOPEN 1
#endif

namespace quirel {

namespace {

std::mutex loadMutex;
void* library = nullptr;  // never closed
std::atomic<PacerDelay> delayFunction{nullptr};

}  // namespace

PacerDelay LoadPacer(const std::string& programDir) {
#if defined(QUIREL_HAVE_DLOPEN)
  std::lock_guard<std::mutex> lock(loadMutex);
  if (library != nullptr) return delayFunction.load();
  constexpr const char* kName = "libpacer.so";
  if (!programDir.empty()) library = ::dlopen((programDir + "/" + kName).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) library = ::dlopen(kName, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  // The symbol's address converts to a function pointer, as POSIX allows.
  delayFunction = reinterpret_cast<PacerDelay>(::dlsym(library, "delay"));
  return delayFunction.load();
#else
  (void)programDir;
  return nullptr;
#endif
}

}  // namespace quirel
