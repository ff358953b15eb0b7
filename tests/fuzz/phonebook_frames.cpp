// The phonebook frames of a receive as a reader may send them (index, query
// and data frames, end marks, sums, anything else), taken by the real
// receive code through the virtual reader and merged into a store that
// already holds a record: afterwards the store is exactly as before or a
// sound store, and only a completed receive changed it.
#include "link/link.h"
#include "phonebook/list.h"
#include "phonebook/store.h"
#include "phonebook/transfer.h"
#include "reader/firmware.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_ui.h"

namespace fs = std::filesystem;

using namespace quirel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t answers = in.Byte();
  const std::string_view stream = in.Rest();

  static const fs::path dir = fuzz::FreshDir("frames");
  const PhonebookFiles files = PhonebookFiles::InDirectory(dir.string());
  // One record, named "a", so that a received "a" is a duplicate.
  const std::string before =
      "\x09\x09\x10"
      "a\x11"
      "1\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1E";
  fuzz::WriteBytes(files.store, before);

  reader::VirtualReader reader(reader::ReaderOptions{}, reader::MakeFirmware(dir / "reader"));
  fuzz::AnswerWith(*reader.firmware(), 0xFA, stream);
  fuzz::ScriptedCable cable(reader);
  VirtualClock clock;
  quirel::testing::FakeUi ui;
  for (int k = 0; k < 8; ++k) ui.duplicateAnswers.push_back((answers >> k) & 1 ? 1 + (answers + k) % 4 : 0);
  Link link(cable, clock, ui);
  PhonebookList list;
  list.Load(ListNames(before));
  PhonebookExchange exchange(link, ui, files, list);
  exchange.ProbePorts();
  PhonebookResult result = PhonebookResult::Failed;
  bool ended = false;
  try {
    result = exchange.ReceivePhonebook();
  } catch (const fuzz::ScriptEnded&) {
    ended = true;
  }
  const std::string after = fuzz::ReadBytes(files.store);
  if (ended || result != PhonebookResult::Done) {
    FUZZ_REQUIRE(after == before);
  } else {
    quirel::testing::FakeUi checker;
    FUZZ_REQUIRE(CheckStore(files, checker) == StoreCheck::kUsable && checker.messages.empty());
  }
  return 0;
}
