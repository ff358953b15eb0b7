// Word-processor documents to text through LibreOffice run without a window:
// the document is exported as GBK text with CR LF line ends, which the row
// layout then treats like any text file.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "convert/convert.h"
#include "convert/process.h"
#include "resources/messages.h"

namespace quirel::convert {

namespace fs = std::filesystem;

namespace {

// The export filter and its options: character set, then line end.
constexpr const char* kTextFilter = "txt:Text (encoded):GBK,CRLF";
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
                  "--convert-to", kTextFilter, "--outdir", outDir.string(), document.string()});
  started = status >= 0;

  // The export is named after the document; take whatever text file it left.
  std::optional<fs::path> produced;
  for (const auto& entry : fs::directory_iterator(outDir, ec)) {
    if (entry.is_regular_file(ec) && entry.path().extension() == ".txt") {
      produced = entry.path();
      break;
    }
  }
  bool moved = false;
  if (produced) {
    const fs::path target = TextPathFor(documentPath);
    fs::rename(*produced, target, ec);
    if (ec) {
      ec.clear();
      fs::copy_file(*produced, target, fs::copy_options::overwrite_existing, ec);
    }
    moved = !ec;
  }
  fs::remove_all(outDir, ec);
  return moved;
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
