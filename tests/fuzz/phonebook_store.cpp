// The phonebook store: the damage check on any bytes, the names and records
// of a sound store, the exchange image built from it and unpacked again, and
// the merge of received records, which must never turn a sound store into a
// damaged one.
#include <vector>

#include "link/link.h"
#include "phonebook/exchange_files.h"
#include "phonebook/list.h"
#include "phonebook/store.h"
#include "phonebook/transfer.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_ui.h"

namespace fs = std::filesystem;

using namespace quirel;

namespace {

// Records as the record dialog saves them: no control bytes besides the
// markers, no 0xFF, and no field ending in a blank (the reader's lines are
// blank-padded, so trailing blanks do not come back).
bool Typeable(std::string_view records) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(records[i]);
    const bool marker = b >= 0x10 && b <= 0x1B;
    if ((b < 0x20 && !marker) || b == 0xFF) return false;
    if (marker && i > 0 && records[i - 1] == ' ') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t answers = in.Byte();
  const std::string_view received = in.Take(in.Byte());  // line layout as a reader sends it
  const std::string_view stored = in.Rest();

  const bool usable = StoreDamage(stored) == 0;
  // The check as the phonebook window makes it, on the file, for one input in
  // eight (files are slow; the check on the bytes is the same one).
  if ((answers & 7) == 7) {
    static const fs::path dir = fuzz::FreshDir("store");
    const PhonebookFiles files = PhonebookFiles::InDirectory(dir.string());
    fuzz::WriteBytes(files.store, stored);
    quirel::testing::FakeUi checker;
    const StoreCheck checked = CheckStore(files, checker);
    FUZZ_REQUIRE(checked == (usable ? StoreCheck::kUsable : StoreCheck::kUnusable));
    FUZZ_REQUIRE(checker.messages.empty() == usable);
    // A damaged store survives whole in the backup.
    if (!usable) FUZZ_REQUIRE(fuzz::ReadBytes(files.backup) == stored);
    std::string read;
    FUZZ_REQUIRE(ReadStoreBytes(files.store, read));
    FUZZ_REQUIRE(read == stored.substr(0, stored.find('\0')));
  }

  const std::string unpacked = UnpackRecords(received);
  if (!usable) return 0;
  // A sound store holds no NUL: it is read whole.
  const std::string text(stored);

  std::vector<std::string> entries;
  for (const std::string& name : ListNames(text)) {
    FUZZ_REQUIRE(ParseRecord(text, name).has_value());
    entries.push_back(" " + name);
  }
  ExchangeImage image;
  if (!ComposeExchange(text, entries, image) && Typeable(image.records)) {
    // What the reader would send back is the layout it was given.
    FUZZ_REQUIRE(UnpackRecords(image.layout) == image.records);
  }

  // Merge: every duplicate answered from the fuzzer's byte.
  quirel::testing::FakeUi ui;
  reader::VirtualReader nobody(reader::ReaderOptions{});
  VirtualClock clock;
  Link link(nobody, clock, ui);
  PhonebookList list;
  list.Load(ListNames(text));
  PhonebookExchange exchange(link, ui, PhonebookFiles::InDirectory(fuzz::Scratch().string()), list);
  for (int k = 0; k < 8; ++k) ui.duplicateAnswers.push_back((answers >> k) & 1 ? 1 + k % 4 : (answers + k) % 5);
  const MergeResult merged = exchange.MergeRecords(unpacked, text);
  if (merged.cancelled) return 0;
  FUZZ_REQUIRE(StoreDamage(merged.store) == 0);
  return 0;
}
