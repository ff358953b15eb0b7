// The row layout of the .ebk format: bytes poured into rows of RowWidth
// bytes, double-byte characters whole and on even columns, paragraphs as a
// row break plus a two-column indent, English words wrapped at blanks, and
// the reader's own codes for five characters. Text and web pages share it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "convert/byte_source.h"

namespace quirel::convert {

// Where the rows go: a file (written a block at a time) or a string.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void Write(const std::uint8_t* rows, std::size_t n) = 0;
};

class StringRowSink final : public RowSink {
 public:
  void Write(const std::uint8_t* rows, std::size_t n) override { out.append(reinterpret_cast<const char*>(rows), n); }
  std::string out;
};

class FileRowSink final : public RowSink {
 public:
  // Creates or truncates the file; check ok().
  explicit FileRowSink(const std::string& path);
  ~FileRowSink() override;
  FileRowSink(const FileRowSink&) = delete;
  FileRowSink& operator=(const FileRowSink&) = delete;
  bool ok() const { return file_ != nullptr; }
  void Write(const std::uint8_t* rows, std::size_t n) override;
  // Closes the file; false when any write failed.
  bool Close();

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

inline constexpr int kMaxRowWidth = 4096;

// A width the layout can work with: even, from 4 to kMaxRowWidth.
bool ValidRowWidth(int width);

// The whole walk of a text document over a stream: every byte through the
// substitutions, full-width punctuation, line ends, blanks, indent,
// double-byte and single-byte placement and word wrap.
void LayoutTextStream(ByteSource& in, int width, RowSink& sink);

// The second pass of a web page over the kept text: the same walk, with
// every tag a paragraph break and every character entity one blank column.
// A byte below 0xA1 ends a waiting character, unless gbForms says that the
// page was recoded to the reader's GB forms, whose trail bytes start at 0x40.
void LayoutHtmlStream(ByteSource& in, int width, RowSink& sink, bool gbForms = false);

// In-memory forms for tests and benchmarks. The text form applies the same
// pre-steps as TextToEbook (UTF-8 to GBK when the bytes are UTF-8, lone LF
// as CR LF); LayoutStrippedHtml is the second pass of a web page. An unusable
// width gives nothing.
std::string LayoutText(std::string_view bytes, int width);
std::string LayoutStrippedHtml(std::string_view kept, int width, bool gbForms = false);

}  // namespace quirel::convert
