#include "tests/adapter/simulated_adapter.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <avr_extint.h>
#include <avr_ioport.h>
#include <avr_uart.h>
#include <sim_avr.h>
#include <sim_elf.h>

// simavr 1.6 keeps what it allocates for an AVR's signals (the IRQ pool,
// their names, their hooks) and the ELF's symbol table past avr_terminate():
// its own memory, which a leak check of our code should not report.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the leak checker's own hook
extern "C" const char* __lsan_default_suppressions() { return "leak:libsimavr.so\n"; }

namespace quirel::testing {
namespace {

constexpr std::uint32_t kFrequency = 16'000'000;
// One byte on the line: start, 8 data bits, stop at 1,000,000 baud.
constexpr avr_cycle_count_t kCyclesPerByte = 160;
// Data-space addresses of the atmega328p's registers the cable is on.
constexpr avr_io_addr_t kPinC = 0x26;
constexpr avr_io_addr_t kPortD = 0x2B;
constexpr std::uint8_t kAckPin = 0x01;       // PC0: status bit 5
constexpr std::uint8_t kPresencePin = 0x02;  // PC1: status bit 6
constexpr std::uint16_t kDataRegister = 0x378;
constexpr std::uint16_t kStatusRegister = 0x379;
// Instructions run between two looks at the host and at Access() callers.
constexpr int kSlice = 20000;
// Longest wall-clock wait on the host before looking at stop_ again.
constexpr std::chrono::milliseconds kHostPoll{20};
// A firmware that has not gone to sleep within a simulated second of reset
// starts taking host bytes anyway.
constexpr avr_cycle_count_t kBootCycles = kFrequency;

// simavr talks about every module it sets up; only its errors matter here.
void QuietLogger(avr_t*, const int level, const char* format, va_list ap) {
  if (level <= LOG_ERROR) std::vfprintf(stderr, format, ap);
}

}  // namespace

class SimulatedAdapter::Impl {
 public:
  Impl(const std::string& elfPath, Port& reader) : reader_(reader) {
    if (!OpenPty()) return;
    if (!Load(elfPath)) return;
    Boot();
    running_ = true;
    thread_ = std::thread([this] { Run(); });
  }

  ~Impl() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (avr_ != nullptr) {
      avr_terminate(avr_);
      std::free(avr_);
    }
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }

  const std::string& devicePath() const { return devicePath_; }
  bool running() const { return running_; }
  const std::string& why() const { return why_; }
  std::uint64_t cycles() const { return cycles_; }

  void Access(const std::function<void()>& f) {
    ++accessWaiting_;
    std::lock_guard lock(mutex_);
    --accessWaiting_;
    f();
  }

 private:
  bool OpenPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      why_ = "no pseudo-terminal";
      return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
      why_ = "no pseudo-terminal name";
      return false;
    }
    devicePath_ = name;
    // Holding the slave side open keeps the master from reporting a hang-up
    // whenever no client has the device open. Raw mode: no byte is echoed
    // back or translated on its way through.
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    termios tio{};
    if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) {
      why_ = "cannot open " + devicePath_;
      return false;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    return true;
  }

  bool Load(const std::string& elfPath) {
    if (!std::filesystem::is_regular_file(elfPath)) {
      why_ = "no firmware at " + elfPath;
      return false;
    }
    avr_global_logger_set(QuietLogger);
    elf_firmware_t firmware{};
    if (elf_read_firmware(elfPath.c_str(), &firmware) != 0 || firmware.flash == nullptr) {
      why_ = "cannot read " + elfPath;
      return false;
    }
    avr_ = avr_make_mcu_by_name("atmega328p");
    if (avr_ == nullptr) {
      std::free(firmware.flash);
      std::free(firmware.eeprom);
      why_ = "simavr knows no atmega328p";
      return false;
    }
    avr_init(avr_);
    // INT0 and INT1 sit on PD2 and PD3, two of the data lines. simavr polls
    // a low level-triggered pin every cycle, interrupt enabled or not; the
    // firmware uses neither interrupt.
    avr_extint_set_strict_lvl_trig(avr_, 0, 0);
    avr_extint_set_strict_lvl_trig(avr_, 1, 0);
    firmware.frequency = kFrequency;
    avr_load_firmware(avr_, &firmware);
    std::free(firmware.flash);
    std::free(firmware.eeprom);
    avr_->frequency = kFrequency;
    // Simulated time stands still while the host is silent; simavr's own
    // sleep would spend real time on it.
    avr_->sleep = [](avr_t*, avr_cycle_count_t) {};

    // No console echo of the UART, and no real-time naps when the firmware
    // polls its status register.
    std::uint32_t flags = 0;
    avr_ioctl(avr_, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
    uartIn_ = avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT), OnUartOutput, this);
    avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XON), OnXon, this);
    avr_irq_register_notify(avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XOFF), OnXoff, this);

    // The ioport module owns both registers' callbacks (simavr refuses a
    // second one), so ours wrap its own.
    auto& pin = avr_->io[AVR_DATA_TO_IO(kPinC)].r;
    pinRead_ = {pin.c, pin.param};
    pin.c = ReadStatusPins;
    pin.param = this;
    auto& port = avr_->io[AVR_DATA_TO_IO(kPortD)].w;
    portWrite_ = {port.c, port.param};
    port.c = WriteDataPins;
    port.param = this;
    return true;
  }

  // Runs the firmware up to its first wait for the host, so no byte the
  // host sends right away is lost to a UART not yet switched on.
  void Boot() {
    while (avr_->cycle < kBootCycles && avr_->state == cpu_Running) avr_run(avr_);
    cycles_ = avr_->cycle;
    // simavr counts a parity bit into every byte, parity on or not (11 bit
    // times where 8N1 takes 10): the line rate is set again once the
    // firmware has set the UART up.
    for (avr_io_t* io = avr_->io_port; io != nullptr; io = io->next) {
      if (std::strcmp(io->kind, "uart") != 0) continue;
      auto* uart = reinterpret_cast<avr_uart_t*>(io);
      if (uart->name == '0') uart->cycles_per_byte = kCyclesPerByte;
    }
  }

  // Every read of PINC is one read of the reader's status register, so the
  // firmware's polls and the reader's view of them stay one to one.
  static std::uint8_t ReadStatusPins(avr_t* avr, avr_io_addr_t addr, void* param) {
    auto& self = *static_cast<Impl*>(param);
    const std::uint8_t status = self.reader_.ReadPortByte(kStatusRegister);
    std::uint8_t pins = static_cast<std::uint8_t>(avr->data[addr] & ~(kAckPin | kPresencePin));
    if (status & kStatusAck) pins |= kAckPin;
    if (status & kStatusData) pins |= kPresencePin;
    avr->data[addr] = pins;
    return self.pinRead_.c != nullptr ? self.pinRead_.c(avr, addr, self.pinRead_.param) : pins;
  }

  // Every write of PORTD is a write of the data register, changed or not:
  // the rewrite after each sleep is a real write the reader sees.
  static void WriteDataPins(avr_t* avr, avr_io_addr_t addr, std::uint8_t value, void* param) {
    auto& self = *static_cast<Impl*>(param);
    if (self.portWrite_.c != nullptr)
      self.portWrite_.c(avr, addr, value, self.portWrite_.param);
    else
      avr->data[addr] = value;
    self.reader_.WritePortByte(kDataRegister, static_cast<std::uint8_t>((value >> 2) & 0x1F));
  }

  static void OnUartOutput(avr_irq_t*, std::uint32_t value, void* param) {
    static_cast<Impl*>(param)->output_.push_back(static_cast<std::uint8_t>(value));
  }
  static void OnXon(avr_irq_t*, std::uint32_t value, void* param) {
    if (value != 0) static_cast<Impl*>(param)->xoff_ = false;
  }
  static void OnXoff(avr_irq_t*, std::uint32_t value, void* param) { static_cast<Impl*>(param)->xoff_ = value != 0; }

  // Hands the host's bytes to the UART one line time apart, holding back
  // while its receive FIFO is full.
  static avr_cycle_count_t FeedUart(avr_t*, avr_cycle_count_t when, void* param) {
    auto& self = *static_cast<Impl*>(param);
    if (!self.xoff_ && !self.input_.empty()) {
      const std::uint8_t byte = self.input_.front();
      self.input_.pop_front();
      avr_raise_irq(self.uartIn_, byte);
    }
    if (self.input_.empty()) {
      self.feeding_ = false;
      return 0;
    }
    return when + kCyclesPerByte;
  }

  void ReadHost() {
    std::uint8_t buffer[4096];
    for (;;) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      input_.insert(input_.end(), buffer, buffer + n);
    }
    if (!input_.empty() && !feeding_) {
      feeding_ = true;
      avr_cycle_timer_register(avr_, kCyclesPerByte, FeedUart, this);
    }
  }

  // What the host has not taken yet stays queued: the pty buffer is small
  // and the test may be busy elsewhere.
  void FlushOutput() {
    while (!output_.empty()) {
      const ssize_t n = ::write(master_, output_.data(), output_.size());
      if (n <= 0) break;
      output_.erase(output_.begin(), output_.begin() + n);
    }
  }

  bool WaitForHost(std::chrono::steady_clock::duration limit) {
    pollfd fd{master_, POLLIN, 0};
    if (!output_.empty()) fd.events |= POLLOUT;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
    return ::poll(&fd, 1, static_cast<int>(std::max<long long>(0, std::min<long long>(ms, kHostPoll.count())))) > 0;
  }

  // The cycles to the next pending simavr timer, when there is one.
  bool NextTimer(avr_cycle_count_t& cycles) const {
    const avr_cycle_timer_slot_t* slot = avr_->cycle_timers.timer;
    if (slot == nullptr) return false;
    cycles = slot->when > avr_->cycle ? slot->when - avr_->cycle : 0;
    return true;
  }

  void Run() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    // While the firmware sleeps on a timer of its own (a frame half in), it
    // waits for it in real time, so a host that merely pauses between two
    // writes is not taken for one that went away; a timer due in real time
    // goes before host bytes that came later.
    bool waitingOnTimer = false;
    Clock::time_point timerDue;
    while (!stop_) {
      if (avr_->state == cpu_Sleeping && input_.empty()) {
        FlushOutput();
        avr_cycle_count_t next = 0;
        const bool timer = NextTimer(next);
        const auto now = Clock::now();
        if (timer && !waitingOnTimer) timerDue = now + std::chrono::nanoseconds(next * 1'000'000'000ULL / kFrequency);
        waitingOnTimer = timer;
        if (!timer || now < timerDue) {
          const auto limit = timer ? timerDue - now : Clock::duration(kHostPoll);
          lock.unlock();
          const bool readable = WaitForHost(limit);
          lock.lock();
          if (!readable || (timer && Clock::now() >= timerDue)) continue;
          ReadHost();
        }
      } else {
        ReadHost();
      }
      waitingOnTimer = false;
      for (int i = 0; i < kSlice; ++i) {
        const int state = avr_run(avr_);
        if (state == cpu_Done || state == cpu_Crashed) {
          why_ = "the firmware stopped";
          running_ = false;
          stop_ = true;
          break;
        }
        if (state == cpu_Sleeping && input_.empty()) break;
      }
      cycles_ = avr_->cycle;
      FlushOutput();
      if (accessWaiting_ > 0) {
        lock.unlock();
        while (accessWaiting_ > 0) std::this_thread::yield();
        lock.lock();
      }
    }
  }

  struct ReadHook {
    avr_io_read_t c = nullptr;
    void* param = nullptr;
  };
  struct WriteHook {
    avr_io_write_t c = nullptr;
    void* param = nullptr;
  };

  Port& reader_;
  std::string devicePath_;
  std::string why_;
  int master_ = -1;
  int slave_ = -1;
  avr_t* avr_ = nullptr;
  avr_irq_t* uartIn_ = nullptr;
  ReadHook pinRead_;
  WriteHook portWrite_;

  // Touched by the simulation thread only, or under mutex_.
  std::deque<std::uint8_t> input_;
  std::vector<std::uint8_t> output_;
  bool xoff_ = false;
  bool feeding_ = false;

  std::mutex mutex_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
  std::atomic<int> accessWaiting_{0};
  std::atomic<std::uint64_t> cycles_{0};
  std::thread thread_;
};

SimulatedAdapter::SimulatedAdapter(const std::string& elfPath, Port& reader)
    : impl_(std::make_unique<Impl>(elfPath, reader)) {}
SimulatedAdapter::~SimulatedAdapter() = default;
const std::string& SimulatedAdapter::devicePath() const { return impl_->devicePath(); }
bool SimulatedAdapter::running() const { return impl_->running(); }
const std::string& SimulatedAdapter::why() const { return impl_->why(); }
std::uint64_t SimulatedAdapter::cycles() const { return impl_->cycles(); }
double SimulatedAdapter::simulatedSeconds() const { return static_cast<double>(cycles()) / kFrequency; }
void SimulatedAdapter::Access(const std::function<void()>& f) { impl_->Access(f); }

}  // namespace quirel::testing
