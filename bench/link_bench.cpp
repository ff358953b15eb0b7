// Bytes per second and port accesses per byte through the handshake, with
// the virtual reader on the other end. On a real port every access costs
// about a microsecond, so our own cost per access has to stay far below that.
#include <benchmark/benchmark.h>

#include <vector>

#include "link/link.h"
#include "reader/virtual_reader.h"
#include "tests/support/fake_ui.h"

namespace quirel {
namespace {

struct Rig {
  reader::VirtualReader reader{reader::ReaderOptions{}};
  VirtualClock clock;
  testing::FakeUi ui;
  Link link{reader, clock, ui};
};

void Report(benchmark::State& state, std::uint64_t bytes, std::uint64_t accesses) {
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["accesses/byte"] = bytes != 0 ? static_cast<double>(accesses) / static_cast<double>(bytes) : 0;
  // Seconds per access, shown with its unit prefix (n = nanoseconds).
  state.counters["time/access"] =
      benchmark::Counter(static_cast<double>(accesses), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SendByte(benchmark::State& state) {
  Rig rig;
  std::uint8_t b = 0;
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    if (rig.link.SendByte(b++) != LinkResult::kDone) state.SkipWithError("SendByte failed");
    if (++bytes % 4096 == 0) rig.reader.ClearReceived();  // keep the log small
  }
  Report(state, bytes, rig.reader.accesses);
}
BENCHMARK(BM_SendByte);

void BM_ReceiveByte(benchmark::State& state) {
  Rig rig;
  std::vector<std::uint8_t> chunk(4096);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(i * 7);
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    if (rig.reader.PendingGive() == 0) {
      state.PauseTiming();
      rig.reader.Give(chunk);
      state.ResumeTiming();
    }
    if (rig.link.ReceiveByte() != LinkResult::kDone) state.SkipWithError("ReceiveByte failed");
    ++bytes;
  }
  Report(state, bytes, rig.reader.accesses);
}
BENCHMARK(BM_ReceiveByte);

}  // namespace
}  // namespace quirel

BENCHMARK_MAIN();
