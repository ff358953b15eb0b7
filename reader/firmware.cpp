#include "reader/firmware.h"

#include "reader/virtual_reader.h"

namespace quirel::reader {

Firmware::Firmware(std::filesystem::path root) : root_(std::move(root)) {
  std::error_code ec;
  std::filesystem::create_directories(Books(), ec);
  std::filesystem::create_directories(PhonebookDir(), ec);
  std::filesystem::create_directories(SystemDir(), ec);
}

void Firmware::OnByte(std::uint8_t b) {
  // Bytes inside a command go to its handler; the link-opening watch runs all
  // the same, so that an interrupted transfer is noticed.
  bool consumedByHandler = false;
  if (handler_) {
    consumedByHandler = true;
    if (!handler_->OnByte(b)) handler_.reset();
  }

  if (opened_) {
    if (burstCount_ == 0 || b == burstByte_) {
      if (burstCount_ == 0) burstByte_ = b;
      if (++burstCount_ == 10) {
        opened_ = false;
        burstCount_ = 0;
        probeRun_ = 0;
        StartCommand(burstByte_);
        return;
      }
    } else {
      opened_ = false;
      burstCount_ = 0;
    }
  }
  if (b == probeRun_ && probeRun_ <= 20) {
    ++probeRun_;
  } else {
    probeRun_ = (b == 0) ? 1 : 0;
  }
  if (probeRun_ == 21) {
    opened_ = true;
    burstCount_ = 0;
    probeRun_ = 0;
  }
  (void)consumedByHandler;
}

void Firmware::StartCommand(std::uint8_t code) {
  if (handler_) {
    handler_->Abort();
    handler_.reset();
  }
  commands_.push_back(code);
  auto it = factories_.find(code);
  if (it == factories_.end()) return;
  handler_ = it->second(*this);
  if (handler_ && !handler_->Start()) handler_.reset();
}

void Firmware::OnGiven() {
  if (handler_) handler_->OnGiven();
}

}  // namespace quirel::reader
