#include "convert/byte_source.h"

#include <algorithm>
#include <cstring>

#include "convert/encoding.h"

namespace quirel::convert {

bool ByteSource::Refill() {
  pos_ = 0;
  end_ = 0;
  while (end_ == 0) {
    if (!Fill()) {
      end_ = 0;
      return false;
    }
  }
  return true;
}

std::size_t ByteSource::Read(std::uint8_t* out, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    if (pos_ == end_ && !Refill()) break;
    const std::size_t take = std::min(n - done, end_ - pos_);
    std::memcpy(out + done, data_ + pos_, take);
    pos_ += take;
    done += take;
  }
  return done;
}

FileSource::FileSource(const std::string& path) : file_(path, std::ios::binary) {}

bool FileSource::Fill() {
  if (!file_) return false;
  buffer_.resize(kReadBlock);
  file_.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(buffer_.size()));
  data_ = buffer_.data();
  end_ = static_cast<std::size_t>(file_.gcount());
  return end_ > 0;
}

bool StringSource::Fill() {
  // The string itself is the block: nothing is copied.
  if (taken_ >= bytes_.size()) return false;
  data_ = reinterpret_cast<const std::uint8_t*>(bytes_.data()) + taken_;
  end_ = bytes_.size() - taken_;
  taken_ = bytes_.size();
  return true;
}

bool CrLfSource::Fill() {
  const Block block = inner_.TakeBlock();
  if (block.begin == block.end) return false;
  const std::uint8_t* const first = block.begin;
  const std::uint8_t* const last = block.end;
  const auto n = static_cast<std::size_t>(last - first);
  auto nextLf = [last](const std::uint8_t* from) {
    return static_cast<const std::uint8_t*>(std::memchr(from, 0x0A, static_cast<std::size_t>(last - from)));
  };
  auto lone = [&](const std::uint8_t* lf) { return lf > first ? lf[-1] != 0x0D : !lastWasCr_; };

  // Text with CR LF line ends passes as it is.
  const std::uint8_t* lf = nextLf(first);
  while (lf != nullptr && !lone(lf)) lf = lf + 1 < last ? nextLf(lf + 1) : nullptr;
  if (lf == nullptr) {
    data_ = first;
    end_ = n;
  } else {
    buffer_.resize(2 * n);
    std::uint8_t* to = buffer_.data();
    const std::uint8_t* from = first;
    while (from < last) {
      lf = nextLf(from);
      const std::uint8_t* stop = lf != nullptr ? lf : last;
      std::memcpy(to, from, static_cast<std::size_t>(stop - from));
      to += stop - from;
      if (lf == nullptr) break;
      if (lone(lf)) *to++ = 0x0D;
      *to++ = 0x0A;
      from = lf + 1;
    }
    data_ = buffer_.data();
    end_ = static_cast<std::size_t>(to - buffer_.data());
  }
  lastWasCr_ = last[-1] == 0x0D;
  return true;
}

bool Utf8ToGbkSource::Fill() {
  if (innerEnded_ && raw_.empty()) return false;
  // Keep the bytes of a sequence split at the end of the previous block.
  const std::size_t kept = raw_.size();
  if (!innerEnded_) {
    raw_.resize(kept + kReadBlock);
    const std::size_t n = inner_.Read(raw_.data() + kept, kReadBlock);
    raw_.resize(kept + n);
    if (n < kReadBlock) innerEnded_ = true;
  }
  std::size_t i = 0;
  const std::size_t n = raw_.size();
  if (!started_) {
    started_ = true;
    if (n >= 3 && raw_[0] == 0xEF && raw_[1] == 0xBB && raw_[2] == 0xBF) i = 3;
  }
  buffer_.resize(2 * n);
  std::size_t out = 0;
  while (i < n) {
    const std::uint8_t c = raw_[i];
    if (c < 0x80) {
      buffer_[out++] = c;
      ++i;
      continue;
    }
    std::uint32_t cp = 0;
    int len = DecodeUtf8(raw_.data() + i, n - i, cp);
    if (len == 0 && !innerEnded_) break;  // completed by the next block
    std::uint16_t gbk = kFullWidthBlank;
    if (len > 0)
      gbk = GbkOf(cp);
    else
      len = 1;  // a malformed byte stands for itself
    buffer_[out++] = static_cast<std::uint8_t>(gbk >> 8);
    buffer_[out++] = static_cast<std::uint8_t>(gbk & 0xFF);
    i += static_cast<std::size_t>(len);
  }
  raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(i));
  data_ = buffer_.data();
  end_ = out;
  return out > 0 || !raw_.empty() || !innerEnded_;
}

}  // namespace quirel::convert
