// PDF through poppler: each page's text in reading order, which poppler
// gives as lines grouped in blocks (an empty line between two); a block is
// one paragraph. Poppler keeps a heading in the block of the paragraph below
// it, so a line whose size differs from the line before also opens a
// paragraph; the sizes are the heights of the words in the page's word list
// (asking poppler for the fonts themselves would make it look them up).
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "convert/book.h"

namespace quirel::convert {
namespace {

void Quiet(const std::string&, void*) {}

// The size of each line of the page, in reading order: the word list
// holds the same words as the text, a new line beginning where a word does
// not continue the one before it on the same base.
std::vector<double> LineSizes(const poppler::page& page) {
  std::vector<double> sizes;
  const poppler::text_box* previous = nullptr;
  for (const poppler::text_box& word : page.text_list()) {
    const poppler::rectf box = word.bbox();
    bool sameLine = false;
    if (previous != nullptr) {
      const poppler::rectf last = previous->bbox();
      const double middle = box.y() + box.height() / 2;
      sameLine = box.x() >= last.x() + last.width() / 2 && middle > last.y() && middle < last.y() + last.height();
    }
    if (sameLine)
      sizes.back() = std::max(sizes.back(), box.height());
    else
      sizes.push_back(box.height());
    previous = &word;
  }
  return sizes;
}

bool OtherSize(double a, double b) { return std::abs(a - b) > 0.15 * std::max(a, b); }

// The page's lines, an empty one wherever a block ends (at an empty line
// and at a page end).
std::vector<std::string> PageLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line.front() == '\f') {
      lines.emplace_back();
      line.erase(0, 1);
    }
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// sizes: one per non-empty line, or empty when they are not known.
void AddBlocks(const std::vector<std::string>& lines, const std::vector<double>& sizes, Paragraphs& out) {
  std::vector<std::string> block;
  auto endBlock = [&] {
    AddParagraph(out, JoinLines(block));
    block.clear();
  };
  std::size_t index = 0;
  for (const std::string& line : lines) {
    if (line.empty()) {
      endBlock();
      continue;
    }
    if (!block.empty() && index < sizes.size() && OtherSize(sizes[index - 1], sizes[index])) endBlock();
    block.push_back(line);
    ++index;
  }
  endBlock();
}

}  // namespace

BookStatus ReadPdf(std::string_view bytes, Paragraphs& out) {
  // Damaged files make poppler talk on standard error; the message box says it.
  poppler::set_debug_error_function(Quiet, nullptr);
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) return BookStatus::kBroken;
  std::unique_ptr<poppler::document> doc(
      poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size())));
  if (!doc) return BookStatus::kBroken;
  if (doc->is_locked()) return BookStatus::kProtected;
  for (int i = 0; i < doc->pages(); ++i) {
    std::unique_ptr<poppler::page> page(doc->create_page(i));
    if (!page) continue;
    const poppler::byte_array utf8 = page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
    const std::vector<std::string> lines = PageLines(std::string(utf8.begin(), utf8.end()));
    std::vector<double> sizes = LineSizes(*page);
    if (static_cast<std::ptrdiff_t>(sizes.size()) !=
        std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return !line.empty(); }))
      sizes.clear();
    AddBlocks(lines, sizes, out);
  }
  return BookStatus::kOk;
}

}  // namespace quirel::convert
