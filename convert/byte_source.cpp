#include "convert/byte_source.h"

#include <algorithm>
#include <cstring>

#include <unicode/ucnv.h>

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

UnicodeToGbSource::UnicodeToGbSource(ByteSource& inner, TextCoding coding, bool traditional)
    : inner_(inner), coding_(coding), forms_(ReaderForms(traditional)) {
  if (coding_ == TextCoding::kGb18030) {
    UErrorCode status = U_ZERO_ERROR;
    gb18030_ = ucnv_open("GB18030", &status);
    if (U_FAILURE(status)) gb18030_ = nullptr;
  }
}

UnicodeToGbSource::~UnicodeToGbSource() {
  if (gb18030_ != nullptr) ucnv_close(gb18030_);
}

bool UnicodeToGbSource::Fill() {
  if (innerEnded_ && raw_.empty()) return false;
  // raw_ still holds a sequence split at the end of the previous block; the
  // new bytes go after it. They are read into a block of their own: growing
  // raw_ by a whole block would clear 64 KB each time, however few arrive.
  if (!innerEnded_) {
    if (!block_) block_ = std::make_unique_for_overwrite<std::uint8_t[]>(kReadBlock);
    const std::size_t n = inner_.Read(block_.get(), kReadBlock);
    raw_.insert(raw_.end(), block_.get(), block_.get() + n);
    if (n < kReadBlock) innerEnded_ = true;
  }
  const std::size_t n = raw_.size();
  buffer_.resize(2 * n + 8);
  std::size_t used = 0;
  switch (coding_) {
    case TextCoding::kUtf16Le:
    case TextCoding::kUtf16Be:
      used = DecodeUtf16Block(n);
      break;
    case TextCoding::kGb18030:
      used = DecodeGb18030Block(n);
      break;
    default:
      used = DecodeUtf8Block(n);
      break;
  }
  started_ = true;
  raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(used));
  data_ = buffer_.data();
  return end_ > 0 || !raw_.empty() || !innerEnded_;
}

namespace {

inline std::size_t PutForm(std::uint8_t* out, std::size_t o, std::uint32_t cp, const std::uint16_t* forms) {
  if (cp < 0x80) {
    out[o] = static_cast<std::uint8_t>(cp);
    return o + 1;
  }
  const std::uint16_t form = cp < 0x10000 ? forms[cp] : kFullWidthBlank;
  out[o] = static_cast<std::uint8_t>(form >> 8);
  out[o + 1] = static_cast<std::uint8_t>(form & 0xFF);
  return o + 2;
}

}  // namespace

std::size_t UnicodeToGbSource::DecodeUtf8Block(std::size_t n) {
  std::size_t i = 0;
  if (!started_ && n >= 3 && raw_[0] == 0xEF && raw_[1] == 0xBB && raw_[2] == 0xBF) i = 3;
  std::uint8_t* out = buffer_.data();
  std::size_t o = 0;
  while (i < n) {
    const std::uint8_t c = raw_[i];
    if (c < 0x80) {
      out[o++] = c;
      ++i;
      continue;
    }
    std::uint32_t cp = 0;
    int len = DecodeUtf8(raw_.data() + i, n - i, cp);
    if (len == 0 && !innerEnded_) break;  // completed by the next block
    if (len <= 0) {
      cp = 0xFFFD;  // a malformed byte stands for itself
      len = 1;
    }
    o = PutForm(out, o, cp, forms_);
    i += static_cast<std::size_t>(len);
  }
  end_ = o;
  return i;
}

std::size_t UnicodeToGbSource::DecodeUtf16Block(std::size_t n) {
  const bool be = coding_ == TextCoding::kUtf16Be;
  auto unit = [&](std::size_t i) {
    return static_cast<std::uint32_t>(be ? (raw_[i] << 8 | raw_[i + 1]) : (raw_[i + 1] << 8 | raw_[i]));
  };
  std::size_t i = 0;
  if (!started_ && n >= 2 && unit(0) == 0xFEFF) i = 2;
  std::uint8_t* out = buffer_.data();
  std::size_t o = 0;
  while (i + 1 < n) {
    std::uint32_t u = unit(i);
    if (u < 0x80) {
      out[o++] = static_cast<std::uint8_t>(u);
      i += 2;
      continue;
    }
    std::size_t len = 2;
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 3 >= n && !innerEnded_) break;  // the pair's second half comes next
      const std::uint32_t low = i + 3 < n ? unit(i + 2) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        len = 4;
      } else {
        u = 0xFFFD;
      }
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    o = PutForm(out, o, u, forms_);
    i += len;
  }
  // An odd last byte of the whole input is dropped.
  if (innerEnded_ && i < n) i = n;
  end_ = o;
  return i;
}

std::size_t UnicodeToGbSource::DecodeGb18030Block(std::size_t n) {
  std::uint8_t* out = buffer_.data();
  std::size_t o = 0;
  if (gb18030_ == nullptr) {
    end_ = 0;
    return n;
  }
  units_.resize(n + 8);
  const char* source = reinterpret_cast<const char*>(raw_.data());
  const char* const sourceEnd = source + n;
  UChar* target = reinterpret_cast<UChar*>(units_.data());
  UErrorCode status = U_ZERO_ERROR;
  // The converter keeps a split sequence itself until the last block.
  ucnv_toUnicode(gb18030_, &target, target + units_.size(), &source, sourceEnd, nullptr,
                 static_cast<UBool>(innerEnded_), &status);
  const std::size_t count = static_cast<std::size_t>(target - reinterpret_cast<UChar*>(units_.data()));
  for (std::size_t k = 0; k < count; ++k) {
    std::uint32_t u = units_[k];
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < count && units_[k + 1] >= 0xDC00 && units_[k + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units_[k + 1] - 0xDC00u);
      ++k;
    }
    if (u == 0xFEFF && !started_ && k == 0) continue;
    o = PutForm(out, o, u, forms_);
  }
  end_ = o;
  return n;
}

}  // namespace quirel::convert
