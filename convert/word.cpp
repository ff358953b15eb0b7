// Word-processor documents to text through LibreOffice run without a window:
// the document is saved as ODT, which is read as the books are (Traditional
// text, notes and paragraphs kept), and its paragraphs are written as UTF-8
// text, an empty line between two, which the row layout then treats like any
// text file.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "convert/book.h"
#include "convert/convert.h"
#include "convert/process.h"
#include "resources/messages.h"

namespace quirel::convert {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOdtFilter = "odt";
constexpr const char* kProfileFolder = "lo-profile";
constexpr const char* kOutputFolder = "lo-out";

std::string OfficeProgram() {
  const char* chosen = std::getenv("QUIREL_SOFFICE");
  return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : std::string("soffice");
}

std::string FileUrl(const fs::path& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const unsigned char ch : path.string()) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '/' ||
                       ch == '-' || ch == '_' || ch == '.' || ch == '~';
    if (plain) {
      url.push_back(static_cast<char>(ch));
    } else {
      url.push_back('%');
      url.push_back(kHex[ch >> 4]);
      url.push_back(kHex[ch & 0x0F]);
    }
  }
  return url;
}

// One export run. started is false when the program could not be run at all.
bool ExportText(const std::string& office, const std::string& systemDir, const std::string& documentPath,
                bool& started) {
  std::error_code ec;
  const fs::path base = fs::absolute(systemDir, ec);
  // A private profile keeps a LibreOffice that the user has open out of it.
  const fs::path profile = base / kProfileFolder;
  const fs::path outDir = base / kOutputFolder;
  fs::remove_all(outDir, ec);
  fs::create_directories(outDir, ec);
  if (ec) {
    started = true;
    return false;
  }
  const fs::path document = fs::absolute(documentPath, ec);
  const int status =
      RunProgram({office, "--headless", "--norestore", "--nolockcheck", "-env:UserInstallation=" + FileUrl(profile),
                  "--convert-to", kOdtFilter, "--outdir", outDir.string(), document.string()});
  started = status >= 0;

  // The export is named after the document; take whatever ODT it left.
  std::optional<fs::path> produced;
  for (const auto& entry : fs::directory_iterator(outDir, ec)) {
    if (entry.is_regular_file(ec) && entry.path().extension() == ".odt") {
      produced = entry.path();
      break;
    }
  }
  bool written = false;
  if (produced) {
    std::ifstream in(*produced, std::ios::binary);
    const std::string odt{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Paragraphs paragraphs;
    const BookStatus read = ReadOdt(odt, paragraphs);
    if (read == BookStatus::kOk || read == BookStatus::kNoText) {
      std::string text;
      for (const std::string& p : paragraphs) text += (text.empty() ? "" : "\r\n\r\n") + p;
      if (!text.empty()) text += "\r\n";
      std::ofstream out(TextPathFor(documentPath), std::ios::binary | std::ios::trunc);
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      out.flush();
      written = static_cast<bool>(out);
    }
  }
  fs::remove_all(outDir, ec);
  return written;
}

}  // namespace

bool WordInstalled() { return RunProgram({OfficeProgram(), "--version"}) == 0; }

ConvertResult WordToText(Context& ctx, const std::string& documentPath) {
  bool started = false;
  if (!ExportText(OfficeProgram(), ctx.env.systemDir, documentPath, started)) {
    // No text file is a failure, whether the program did not start or the
    // document could not be read.
    ctx.ui.ShowMessage(msg::kWordError, msg::kCaption, Icon::Error);
    return ConvertResult::kFailed;
  }
  return ConvertResult::kDone;
}

struct WordInstance::Impl {
  std::optional<Environment> env;
  std::string office;
  bool open = false;
};

WordInstance::WordInstance() : impl_(new Impl) {}

WordInstance::WordInstance(const Environment& env) : impl_(new Impl) { impl_->env = env; }

WordInstance::~WordInstance() {
  Close();
  delete impl_;
}

bool WordInstance::Open() {
  if (!impl_->env) impl_->env = Environment::Resolve();
  impl_->office = OfficeProgram();
  impl_->open = RunProgram({impl_->office, "--version"}) == 0;
  return impl_->open;
}

bool WordInstance::Convert(const std::string& documentPath) {
  if (!impl_->open) return false;
  bool started = false;
  return ExportText(impl_->office, impl_->env->systemDir, documentPath, started);
}

void WordInstance::Close() {
  if (impl_ != nullptr) impl_->open = false;
}

}  // namespace quirel::convert
