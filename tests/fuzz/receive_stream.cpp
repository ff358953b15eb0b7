// The item stream of a receive as a reader (or anything on the cable) may
// send it, taken by the real receive code through the virtual reader: the
// receive ends with one of its results, a received name never leads out of
// the target folder nor through a symbolic link in it, and a success means
// every item arrived.
#include <unistd.h>

#include "link/link.h"
#include "link/receive.h"
#include "reader/firmware.h"
#include "resources/messages.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_ui.h"

namespace fs = std::filesystem;

using namespace quirel;

namespace {

std::size_t CountBelow(const fs::path& dir) {
  std::size_t n = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t mode = (in.Byte() & 1) != 0 ? kReceiveEverything : kReceiveCursorItem;
  const std::string_view stream = in.Rest();

  static const fs::path dir = fuzz::FreshDir("receive");
  const fs::path sandbox = dir / "sandbox";
  const fs::path target = sandbox / "target";
  const fs::path outside = dir / "outside";
  std::error_code ec;
  fs::remove_all(sandbox, ec);
  fs::remove_all(outside, ec);
  fs::create_directories(target);
  fs::create_directories(outside);
  // Links planted in the target that a hostile name could try to write through.
  fs::create_directory_symlink(outside, target / "a", ec);
  fs::create_symlink(outside / "f", target / "b", ec);

  reader::VirtualReader reader(reader::ReaderOptions{}, reader::MakeFirmware(dir / "reader"));
  fuzz::AnswerWith(*reader.firmware(), mode, stream);
  fuzz::ScriptedCable cable(reader);
  VirtualClock clock;
  quirel::testing::FakeUi ui;
  Link link(cable, clock, ui);
  int result = -1;
  try {
    result = static_cast<int>(ReceiveFiles(link, mode, target.string()));  // the numbers are checked below
  } catch (const fuzz::ScriptEnded&) {}
  FUZZ_REQUIRE(result >= -1 && result <= 2);
  FUZZ_REQUIRE(CountBelow(outside) == 0);
  for (const auto& entry : fs::directory_iterator(sandbox)) FUZZ_REQUIRE(entry.path().filename() == "target");
  if (result == static_cast<int>(LinkResult::kDone)) {
    FUZZ_REQUIRE(!ui.messages.empty() && ui.messages.back().text == msg::kAllReceived);
  }
  return 0;
}
