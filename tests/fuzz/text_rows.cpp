// Text documents to e-book rows, in both fonts, whatever the coding (GB,
// Big5, UTF-8 with or without a byte-order mark, CR LF or lone LF): the rows
// are whole, the document read in arbitrary pieces or from a file gives the
// same rows as read at once, and recoding the rows as Big5 keeps their length.
#include <vector>

#include "common/environment.h"
#include "convert/big5.h"
#include "convert/byte_source.h"
#include "convert/convert.h"
#include "convert/ebook_check.h"
#include "convert/encoding.h"
#include "convert/layout.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_ui.h"

namespace fs = std::filesystem;

namespace {

using namespace quirel;
using namespace quirel::convert;

// Gives the bytes in pieces whose sizes the fuzzer picks (empty pieces too).
class PieceSource final : public ByteSource {
 public:
  PieceSource(std::string_view bytes, std::string_view sizes) : bytes_(bytes), sizes_(sizes) {}

 protected:
  bool Fill() override {
    if (taken_ == bytes_.size()) return false;
    std::size_t n = sizes_.empty() ? 7 : static_cast<std::uint8_t>(sizes_[next_++ % sizes_.size()]) % 9;
    // An empty piece now and then, never two in a row.
    if (n == 0 && lastEmpty_) n = 1;
    lastEmpty_ = n == 0;
    n = std::min(n, bytes_.size() - taken_);
    buffer_.assign(bytes_.begin() + static_cast<long>(taken_), bytes_.begin() + static_cast<long>(taken_ + n));
    data_ = buffer_.data();
    pos_ = 0;
    end_ = n;
    taken_ += n;
    return true;
  }

 private:
  std::string_view bytes_;
  std::string_view sizes_;
  std::size_t taken_ = 0;
  std::size_t next_ = 0;
  bool lastEmpty_ = false;
};

std::string InPieces(std::string_view text, std::string_view sizes, int width) {
  StringRowSink sink;
  PieceSource raw(text, sizes);
  TextCoding coding = DetectCoding(text);
  if (coding == TextCoding::kBinary) return {};
  if (coding == TextCoding::kLegacy && !SourceIsBig5(text)) coding = TextCoding::kGb18030;
  if (coding != TextCoding::kLegacy) {
    UnicodeToGbSource gb(raw, coding, SampleIsTraditional(text, coding));
    CrLfSource lines(gb);
    LayoutTextStream(lines, width, sink);
  } else {
    CrLfSource lines(raw);
    LayoutTextStream(lines, width, sink);
  }
  return sink.out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.Byte();
  const int width = (choice & 1) != 0 ? 16 : 20;  // large font, small font
  const std::string_view sizes = in.Take(choice >> 4);
  const std::string_view text = in.Rest();

  const std::string rows = LayoutText(text, width);
  FUZZ_REQUIRE(rows.size() % static_cast<std::size_t>(width) == 0);
  FUZZ_REQUIRE(InPieces(text, sizes, width) == rows);

  // The Big5 recoding is byte for byte in place.
  const std::vector<std::uint8_t> rowBytes(rows.begin(), rows.end());
  std::vector<std::uint8_t> recoded;
  RecodeBig5(rowBytes, recoded);
  FUZZ_REQUIRE(recoded.size() == rowBytes.size());
  // What travels holds nothing the reader would show wrong: GB rows as they
  // are, Big5 rows recoded.
  const bool big5 = DetectCoding(text) == TextCoding::kLegacy && SourceIsBig5(text);
  FUZZ_REQUIRE(CheckEbookRows(big5 ? std::string(recoded.begin(), recoded.end()) : rows, width, 1).empty());

  // The file route of a send (coding found block by block) agrees. It reads
  // and clears whole blocks: one input in 32 takes it.
  if ((choice & 0x0E) == 0x0E && text.size() % 4 == 0) {
    static const fs::path dir = fuzz::FreshDir("text");
    const Environment env{dir.string(), dir.string()};
    quirel::testing::FakeUi ui;
    Context ctx{env, ui, width};
    const fs::path doc = dir / "doc.txt";
    fuzz::WriteBytes(doc, text);
    if (TextToEbook(ctx, doc.string()) != ConvertResult::kDone) {
      // Only a file that is no text at all is refused.
      FUZZ_REQUIRE(DetectFileCoding(doc.string()) == TextCoding::kBinary);
      return 0;
    }
    FUZZ_REQUIRE(fuzz::ReadBytes(env.SystemFile(kEbookWork)) == rows);
    const TextCode checked = CheckTextCode(ctx);
    FUZZ_REQUIRE(checked == TextCode::kGb || checked == TextCode::kRecoded);
    if (checked == TextCode::kRecoded) FUZZ_REQUIRE(fs::file_size(env.SystemFile(kRecodedWork)) == rows.size());
  }
  return 0;
}
