// Forward-only byte streams read through a buffer. The row layout takes
// bytes one at a time out of a block; the streams refill the block as it
// runs out, so a document of any size needs only the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/encoding.h"

struct UConverter;

namespace quirel::convert {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // The next byte (0..255), or -1 at the end of the input.
  int Get() {
    if (pos_ < end_) return data_[pos_++];
    return Refill() ? data_[pos_++] : -1;
  }

  // Up to n bytes into out; fewer only at the end of the input.
  std::size_t Read(std::uint8_t* out, std::size_t n);

  // Everything buffered, taken at once (refilled first when nothing is
  // left); empty at the end of the input. Valid until the next call.
  struct Block {
    const std::uint8_t* begin;
    const std::uint8_t* end;
  };
  Block TakeBlock() {
    if (pos_ == end_ && !Refill()) return {nullptr, nullptr};
    const Block block{data_ + pos_, data_ + end_};
    pos_ = end_;
    return block;
  }

 protected:
  // Makes data_[0, end_) the next bytes (usually buffer_); returns false at
  // the end. May be called again after it produced nothing but returned true.
  virtual bool Fill() = 0;

  std::vector<std::uint8_t> buffer_;
  const std::uint8_t* data_ = nullptr;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;

 private:
  bool Refill();
};

inline constexpr std::size_t kReadBlock = std::size_t{64} * 1024;

// The bytes of a file.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::string& path);
  bool IsOpen() const { return file_.is_open(); }

 protected:
  bool Fill() override;

 private:
  std::ifstream file_;
};

// The bytes of a string (tests and benchmarks).
class StringSource final : public ByteSource {
 public:
  explicit StringSource(std::string_view bytes) : bytes_(bytes) {}

 protected:
  bool Fill() override;

 private:
  std::string_view bytes_;
  std::size_t taken_ = 0;
};

// Reads every lone LF of the inner stream as CR LF, so that text from this
// platform keeps the paragraph breaks that the row layout only sees in CR LF.
class CrLfSource final : public ByteSource {
 public:
  explicit CrLfSource(ByteSource& inner) : inner_(inner) {}

 protected:
  bool Fill() override;

 private:
  ByteSource& inner_;
  bool lastWasCr_ = false;
};

// Unicode text of the inner stream (UTF-8, UTF-16 or GB18030) as the
// reader's GB characters (ReaderFormOf), a leading byte-order mark dropped;
// characters without a form become the full-width blank 0xA1 0xA1, and so
// does every byte of a malformed sequence.
class UnicodeToGbSource final : public ByteSource {
 public:
  UnicodeToGbSource(ByteSource& inner, TextCoding coding, bool traditional);
  ~UnicodeToGbSource() override;
  UnicodeToGbSource(const UnicodeToGbSource&) = delete;
  UnicodeToGbSource& operator=(const UnicodeToGbSource&) = delete;

 protected:
  bool Fill() override;

 private:
  std::size_t DecodeUtf8Block(std::size_t n);
  std::size_t DecodeUtf16Block(std::size_t n);
  std::size_t DecodeGb18030Block(std::size_t n);

  ByteSource& inner_;
  TextCoding coding_;
  const std::uint16_t* forms_;
  UConverter* gb18030_ = nullptr;
  std::vector<std::uint8_t> raw_;          // undecoded bytes, a split sequence first
  std::unique_ptr<std::uint8_t[]> block_;  // what the inner source gave last
  std::vector<char16_t> units_;
  bool started_ = false;
  bool innerEnded_ = false;
};

}  // namespace quirel::convert
