// MOBI, AZW and AZW3 without DRM: libmobi rebuilds the book's markup (one
// part for the old format, one per file for KF8), which gives paragraphs as
// any markup does.
#include <mobi.h>

#include <cstdio>

#include "convert/book.h"
#include "convert/encoding.h"

namespace quirel::convert {

BookStatus ReadMobi(std::string_view bytes, Paragraphs& out) {
  // The library reads from a stream; a temporary file keeps this portable.
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return BookStatus::kBroken;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    std::fclose(file);
    return BookStatus::kBroken;
  }
  std::rewind(file);
  MOBIData* m = mobi_init();
  if (m == nullptr) {
    std::fclose(file);
    return BookStatus::kBroken;
  }
  BookStatus status = BookStatus::kBroken;
  if (mobi_load_file(m, file) == MOBI_SUCCESS) {
    if (mobi_is_encrypted(m)) {
      status = BookStatus::kProtected;
    } else if (MOBIRawml* rawml = mobi_init_rawml(m); rawml != nullptr) {
      if (mobi_parse_rawml(rawml, m) == MOBI_SUCCESS) {
        status = BookStatus::kOk;
        for (const MOBIPart* part = rawml->markup; part != nullptr; part = part->next) {
          if (part->type != T_HTML || part->data == nullptr) continue;
          const std::string_view markup(reinterpret_cast<const char*>(part->data), part->size);
          MarkupParagraphs(markup, IsValidUtf8(markup) ? "UTF-8" : "windows-1252", out);
        }
      }
      mobi_free_rawml(rawml);
    }
  }
  mobi_free(m);
  std::fclose(file);
  return status;
}

}  // namespace quirel::convert
