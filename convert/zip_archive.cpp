#include "convert/zip_archive.h"

#include <zip.h>

namespace quirel::convert {

ZipArchive::ZipArchive(std::string_view bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (source != nullptr) {
    zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (zip_ == nullptr) zip_source_free(source);
  }
  zip_error_fini(&error);
}

ZipArchive::~ZipArchive() {
  if (zip_ != nullptr) zip_discard(zip_);
}

ZipArchive::Read ZipArchive::Get(const std::string& name, std::string& content, std::size_t maxBytes) const {
  content.clear();
  if (zip_ == nullptr) return Read::kBroken;
  const zip_int64_t index = zip_name_locate(zip_, name.c_str(), 0);
  if (index < 0) return Read::kMissing;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &stat) != 0) return Read::kBroken;
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) return Read::kEncrypted;
  zip_file_t* file = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) return Read::kBroken;
  // The size in the directory may lie: read up to the limit, not by it.
  char block[64 * 1024];
  Read result = Read::kOk;
  for (;;) {
    const zip_int64_t n = zip_fread(file, block, sizeof block);
    if (n < 0) {
      result = Read::kBroken;
      break;
    }
    if (n == 0) break;
    if (content.size() + static_cast<std::size_t>(n) > maxBytes) {
      result = Read::kBroken;
      break;
    }
    content.append(block, static_cast<std::size_t>(n));
  }
  zip_fclose(file);
  if (result != Read::kOk) content.clear();
  return result;
}

std::vector<std::string> ZipArchive::Names() const {
  std::vector<std::string> names;
  if (zip_ == nullptr) return names;
  const zip_int64_t count = zip_get_num_entries(zip_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(zip_, static_cast<zip_uint64_t>(i), 0);
    if (name != nullptr) names.emplace_back(name);
  }
  return names;
}

}  // namespace quirel::convert
