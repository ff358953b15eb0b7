#include "link/link.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

#include "resources/messages.h"

namespace quirel {

void SystemClock::Sleep(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

PortAddresses DetectPorts(Port& port, UserInterface& ui, std::string_view problem) {
  static constexpr std::uint16_t kBases[] = {0x378, 0x278, 0x3BC};
  for (auto base : kBases) port.WritePortByte(static_cast<std::uint16_t>(base + 2), 0);
  for (auto base : kBases) port.WritePortByte(base, 5);
  PortAddresses chosen;
  bool found = false;
  for (auto base : kBases) {
    if (port.ReadPortByte(base) == 5) {
      chosen = PortAddresses::ForBase(base);
      found = true;
      break;
    }
  }
  if (!found && problem.empty()) ui.ShowMessage(msg::kDetectError, msg::kCaption, Icon::Error);
  if (!found && !problem.empty()) ui.ShowMessageWithDetail(msg::kDetectError, msg::kCaption, Icon::Error, problem);
  port.WritePortByte(chosen.data, 0);
  return chosen;
}

bool WaitHandshakeAt(Port& port, Clock& clock, const PortAddresses& ports, bool level, Confirm mode,
                     std::optional<std::uint8_t> rewrite, int* presenceLost, int confirmations) {
  int hits = 0;
  int misses = 0;
  int sleeps = 0;
  const std::uint8_t want = level ? kStatusAck : 0;
  for (;;) {
    if ((port.ReadPortByte(ports.status) & kStatusAck) == want) {
      ++hits;
      misses = 0;
      sleeps = 0;
      if (hits >= confirmations) return true;
      continue;
    }
    if (presenceLost != nullptr && (port.ReadPortByte(ports.status) & kStatusData) == 0) {
      *presenceLost = 1;
      port.WritePortByte(ports.data, 0);
      return false;
    }
    if (mode == Confirm::Consecutive) hits = 0;
    if (misses > 3000) {
      if (sleeps > 1000) return false;
      clock.Sleep(1);
      ++sleeps;
      misses = 0;
      if (rewrite) port.WritePortByte(ports.data, *rewrite);
    } else if (port.StatusSteady()) {
      misses = 3001;  // the polls up to the next sleep would all miss
    } else {
      ++misses;
    }
  }
}

LinkResult Link::SendByteChecked(std::uint8_t b, bool presenceCheck) {
  if (LinkEngine* engine = port_.Engine()) {
    std::size_t sent = 0;
    const LinkEngine::SendOutcome outcome = engine->SendBytes(&b, 1, presenceCheck, sent);
    if (outcome == LinkEngine::SendOutcome::kReaderOff && presenceCheck) linkLost = 1;
    return outcome == LinkEngine::SendOutcome::kSent ? LinkResult::kDone : LinkResult::kFailed;
  }
  int* lost = presenceCheck ? &linkLost : nullptr;
  const std::uint8_t c = static_cast<std::uint8_t>(~b);
  Write(ports.data, 0);
  bool ok = WaitHandshakeAt(port_, clock_, ports, true, Confirm::Consecutive, std::nullopt, lost, 3);
  if (ok) {
    const std::uint8_t high = static_cast<std::uint8_t>(0x10 | (c >> 4));
    Write(ports.data, high);
    ok = WaitHandshakeAt(port_, clock_, ports, false, Confirm::Consecutive, high, lost, 3);
    if (ok) {
      const std::uint8_t low = static_cast<std::uint8_t>(c & 0x0F);
      Write(ports.data, low);
      ok = WaitHandshakeAt(port_, clock_, ports, true, Confirm::Consecutive, low, lost, 3);
    }
  }
  if (!ok) {
    Write(ports.data, 0);
    return LinkResult::kFailed;
  }
  return LinkResult::kDone;
}

LinkResult Link::SendByte(std::uint8_t b) { return SendByteChecked(b, false); }

LinkResult Link::SendProbeByte(std::uint8_t b) { return SendByteChecked(b, true); }

LinkResult Link::SendBurst(std::uint8_t b) {
  std::uint8_t burst[10];
  std::fill(std::begin(burst), std::end(burst), b);
  return SendBytes(burst, sizeof(burst));
}

LinkResult Link::SendBytes(const std::uint8_t* bytes, std::size_t count) {
  if (LinkEngine* engine = port_.Engine()) {
    std::size_t sent = 0;
    return engine->SendBytes(bytes, count, false, sent) == LinkEngine::SendOutcome::kSent ? LinkResult::kDone
                                                                                          : LinkResult::kFailed;
  }
  for (std::size_t i = 0; i < count; ++i)
    if (SendByte(bytes[i]) != LinkResult::kDone) return LinkResult::kFailed;
  return LinkResult::kDone;
}

void Link::DetectParallelPort() {
  // Probing the registers would disturb another program's transfer.
  if (claimPort && !claimPort()) return;
  ports = DetectPorts(port_, ui_, portProblem);
  detected_ = true;
}

LinkResult Link::OpenLink() {
  if (claimPort) {
    // Another program has the reader: as good as no reader for this one,
    // so a job ends at once instead of failing file by file.
    if (!claimPort()) {
      linkLost = 1;
      return LinkResult::kFailed;
    }
    if (!detected_) ports = DetectPorts(port_, ui_, portProblem);
    detected_ = true;
  }
  Write(ports.data, 0);
  for (std::uint8_t b = 0; b <= 20; ++b) {
    if (SendProbeByte(b) != LinkResult::kDone) {
      ui_.ShowMessage(msg::kLinkError, msg::kCaption, Icon::Error);
      linkLost = 1;
      Write(ports.data, 0);
      return LinkResult::kFailed;
    }
  }
  return LinkResult::kDone;
}

void Link::ResetPortLines() {
  Write(ports.control, 0);
  Write(ports.data, 0);
}

int ShiftInByte(Port& port, Clock& clock, const PortAddresses& ports, int lowConfirmations, std::uint8_t& byte) {
  if (LinkEngine* engine = port.Engine()) {
    std::size_t taken = 0;
    return engine->TakeBytes(lowConfirmations, &byte, 1, taken);
  }
  if (!WaitHandshakeAt(port, clock, ports, true, Confirm::Cumulative, std::uint8_t{0}, nullptr, 3)) return 1;
  std::uint8_t step = 0xF0;
  auto sample = [&] {
    byte = static_cast<std::uint8_t>(byte >> 1);
    if (port.ReadPortByte(ports.status) & kStatusData) byte |= 0x80;
  };
  for (int round = 0; round < 4; ++round) {
    std::uint8_t value = static_cast<std::uint8_t>(~step);
    port.WritePortByte(ports.data, value);
    if (!WaitHandshakeAt(port, clock, ports, false, Confirm::Cumulative, value, nullptr, lowConfirmations)) return 2;
    sample();
    ++step;
    value = static_cast<std::uint8_t>(~step);
    port.WritePortByte(ports.data, value);
    if (!WaitHandshakeAt(port, clock, ports, true, Confirm::Cumulative, value, nullptr, 3)) return 3;
    sample();
    ++step;
  }
  return 0;
}

bool Link::ReceiveInterrupted() {
  ui_.PumpMessage();
  ProgressWindow* window = ui_.Progress(ProgressKind::Receive);
  if (window == nullptr || !window->InterruptRequested()) return false;
  window->Hide();
  window->ClearInterrupt();
  ui_.EnableWindow(Window::Main, true);
  return true;
}

void Link::ReportReceiveFailure(int failed) {
  ui_.ShowMessage(msg::kReceiveDataError, msg::kCaption, Icon::Error);
  if (failed != 3) {
    // The first wait and the waits for 0 also take the receive window down.
    if (ProgressWindow* window = ui_.Progress(ProgressKind::Receive)) window->Hide();
    ui_.EnableWindow(Window::Main, true);
  }
}

LinkResult Link::ReceiveByte() {
  if (ReceiveInterrupted()) return LinkResult::kInterrupted;
  const int failed = ShiftInByte(port_, clock_, ports, 3, receivedByte);
  if (failed == 0) return LinkResult::kDone;
  ReportReceiveFailure(failed);
  return LinkResult::kFailed;
}

LinkResult Link::ReceiveBytes(std::uint8_t* bytes, std::size_t count) {
  LinkEngine* engine = port_.Engine();
  for (std::size_t at = 0; at < count;) {
    if (engine == nullptr) {
      if (const LinkResult result = ReceiveByte(); result != LinkResult::kDone) return result;
      bytes[at++] = receivedByte;
      continue;
    }
    if (ReceiveInterrupted()) return LinkResult::kInterrupted;
    std::size_t taken = 0;
    const int failed = engine->TakeBytes(3, bytes + at, std::min(kTakeRun, count - at), taken);
    at += taken;
    if (taken > 0) receivedByte = bytes[at - 1];
    if (failed != 0) {
      ReportReceiveFailure(failed);
      return LinkResult::kFailed;
    }
  }
  return LinkResult::kDone;
}

}  // namespace quirel
