// A 1 MB file through the USB adapter: its real firmware in simavr, the serial
// line at 1 Mbit/s, the virtual reader on its cable. The rates are in the
// simulated adapter's time (its CPU cycles at 16 MHz, the line's bytes paced
// at the baud rate); the program's own work on the PC does not count.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "reader/firmware.h"
#include "reader/virtual_reader.h"
#include "send/send_job.h"
#include "tests/adapter/simulated_adapter.h"
#include "tests/support/fake_ui.h"

namespace quirel {
namespace {

namespace fs = std::filesystem;
constexpr std::size_t kSize = 1 << 20;

struct Rig {
  Rig() {
    std::string pattern = (fs::temp_directory_path() / "quirel-adapter-bench-XXXXXX").string();
    dir = mkdtemp(pattern.data());
    env.home = (dir / "home").string();
    env.systemDir = (dir / "system").string();
    fs::create_directories(env.home);
    fs::create_directories(env.systemDir);
    file = (dir / "book.txt").string();
    std::string bytes(kSize, '\0');
    for (std::size_t i = 0; i < kSize; ++i) bytes[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
    std::ofstream(file, std::ios::binary) << bytes;
    reader = std::make_unique<reader::VirtualReader>(reader::ReaderOptions{}, reader::MakeFirmware(dir / "reader"));
    adapter = std::make_unique<testing::SimulatedAdapter>(QUIREL_ADAPTER_ELF, *reader);
    port = std::make_unique<SerialPort>(adapter->devicePath());
    link = std::make_unique<Link>(*port, clock, ui);
    link->DetectParallelPort();
    job = std::make_unique<send::SendJob>(*link, ctx);
    job->sourcePath = file;
    job->sendFormat = send::kKeepFormat;
    job->fileKind = convert::kText;
    ui.NewProgress(ProgressKind::Send);
    ui.NewProgress(ProgressKind::Receive);
  }
  ~Rig() {
    link.reset();
    port.reset();
    adapter.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  fs::path dir;
  std::string file;
  Environment env;
  VirtualClock clock;
  testing::FakeUi ui;
  convert::Context ctx{env, ui, 20};
  std::unique_ptr<reader::VirtualReader> reader;
  std::unique_ptr<testing::SimulatedAdapter> adapter;
  std::unique_ptr<SerialPort> port;
  std::unique_ptr<Link> link;
  std::unique_ptr<send::SendJob> job;
};

// The whole keep-format send of the file, as the send job makes it (its own
// bytes: the wire alone).
void BM_SendThroughTheAdapter1MB(benchmark::State& state) {
  Rig rig;
  if (!rig.port->usable()) state.SkipWithError(rig.port->problem().c_str());
  double simulated = 0;
  std::uint64_t sent = 0;
  for (auto _ : state) {
    const double before = rig.adapter->simulatedSeconds();
    if (rig.job->SendAsIs(0, rig.file) != LinkResult::kDone) {
      const std::string why = rig.ui.messages.empty() ? std::string("send failed") : rig.ui.messages.back().text;
      state.SkipWithError(why.c_str());
      break;
    }
    simulated += rig.adapter->simulatedSeconds() - before;
    rig.adapter->Access([&] {
      sent += rig.reader->Received().size();
      rig.reader->ClearReceived();
    });
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(sent));
  state.counters["simulated-s"] = simulated / static_cast<double>(state.iterations());
  state.counters["simulated-KB/s"] = static_cast<double>(sent) / 1024.0 / simulated;
}
BENCHMARK(BM_SendThroughTheAdapter1MB)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// 1 MB given by the reader and taken in runs, as a receive takes a file.
void BM_TakeThroughTheAdapter1MB(benchmark::State& state) {
  Rig rig;
  if (!rig.port->usable()) state.SkipWithError(rig.port->problem().c_str());
  std::vector<std::uint8_t> given(kSize), taken(kSize);
  for (std::size_t i = 0; i < kSize; ++i) given[i] = static_cast<std::uint8_t>(i * 7);
  double simulated = 0;
  for (auto _ : state) {
    rig.adapter->Access([&] { rig.reader->Give(given); });
    const double before = rig.adapter->simulatedSeconds();
    if (rig.link->ReceiveBytes(taken.data(), taken.size()) != LinkResult::kDone || taken != given)
      state.SkipWithError("take failed");
    simulated += rig.adapter->simulatedSeconds() - before;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(kSize * state.iterations()));
  state.counters["simulated-s"] = simulated / static_cast<double>(state.iterations());
  state.counters["simulated-KB/s"] = static_cast<double>(kSize * state.iterations()) / 1024.0 / simulated;
}
BENCHMARK(BM_TakeThroughTheAdapter1MB)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace quirel

BENCHMARK_MAIN();
