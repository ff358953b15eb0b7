// Web pages to e-book rows in both fonts: the markup pass over any page (GB,
// Big5 or UTF-8, balanced or not), rows that are whole, the kept text laid
// out alike whether read at once or from the work file, and the lower-casing
// that leaves the trail bytes of double-byte characters alone.
#include "common/environment.h"
#include "convert/convert.h"
#include "convert/ebook_check.h"
#include "convert/encoding.h"
#include "convert/html.h"
#include "convert/layout.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_ui.h"

namespace fs = std::filesystem;

using namespace quirel;
using namespace quirel::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.Byte();
  const int width = (choice & 1) != 0 ? 16 : 20;
  const std::string_view page = in.Rest();

  // The page as read: up to its first NUL.
  const std::string raw(page.substr(0, page.find('\0')));
  RowCoding coding = RowCoding::kAsk;
  const std::string prepared = PreparePage(raw, coding);
  bool nonStandard = false;
  const std::string kept = StripHtmlText(prepared, nonStandard);
  const std::string rows = LayoutStrippedHtml(kept, width, coding == RowCoding::kGb);
  FUZZ_REQUIRE(rows.size() % static_cast<std::size_t>(width) == 0);
  // Pages recoded to the reader's characters give rows it reads right.
  if (coding == RowCoding::kGb) FUZZ_REQUIRE(CheckEbookRows(rows, width, 1).empty());

  // The route of a send, through the work files, for one input in eight.
  if ((choice & 0x0E) == 0x0E) {
    static const fs::path dir = fuzz::FreshDir("html");
    const Environment env{dir.string(), dir.string()};
    quirel::testing::FakeUi ui;
    Context ctx{env, ui, width};
    const fs::path doc = dir / "page.htm";
    fuzz::WriteBytes(doc, page);
    // The rows above take the bytes as GB/Big5; a page found to be in another
    // coding, or declaring one, is decoded first and may rightly differ.
    const bool legacy = DetectFileCoding(doc.string()) == TextCoding::kLegacy && MetaCharset(page).empty();
    if (HtmlTextToEbook(ctx, doc.string()) == ConvertResult::kDone && legacy)
      FUZZ_REQUIRE(fuzz::ReadBytes(env.SystemFile(kEbookWork)) == rows);
  }
  return 0;
}
