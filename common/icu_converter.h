// An ICU converter opened by name that closes itself.
#pragma once

#include <unicode/ucnv.h>

#include <memory>

namespace quirel {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// nullptr when ICU has no such converter. With stopOnUnmapped, converting
// into it stops at a character it has no form for instead of substituting.
inline ConverterPtr OpenConverter(const char* name, bool stopOnUnmapped = false) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr c(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  if (stopOnUnmapped) ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  return U_SUCCESS(status) ? std::move(c) : nullptr;
}

}  // namespace quirel
