// Word-processor documents to text through LibreOffice run without a window:
// the document is saved as ODT, which is read as the books are (Traditional
// text, notes and paragraphs kept), and its paragraphs are written as UTF-8
// text, an empty line between two, which the row layout then treats like any
// text file.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "common/file_lock.h"
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
constexpr const char* kInputFolder = "lo-in";

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

// The text of a saved ODT: its paragraphs, an empty line between two.
std::optional<std::string> OdtText(const fs::path& odt) {
  std::ifstream in(odt, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Paragraphs paragraphs;
  const BookStatus read = ReadOdt(bytes, paragraphs);
  if (read != BookStatus::kOk && read != BookStatus::kNoText) return std::nullopt;
  std::string text;
  for (const std::string& p : paragraphs) text += (text.empty() ? "" : "\r\n\r\n") + p;
  if (!text.empty()) text += "\r\n";
  return text;
}

}  // namespace

std::vector<std::optional<std::string>> WordTextsInOneRun(const Environment& env,
                                                          const std::vector<std::string>& documents, bool& started) {
  std::vector<std::optional<std::string>> texts(documents.size());
  started = true;
  if (documents.empty()) return texts;
  std::error_code ec;
  const fs::path base = fs::absolute(env.WorkDir(), ec);
  // A profile of our own keeps a LibreOffice that the user has open out of
  // it. A second run on the same profile would hand its documents to the
  // first and end at once, so runs of other programs wait for each other.
  const fs::path profile = fs::absolute(env.SystemFile(kProfileFolder), ec);
  const FileLock profileLock(env.SystemFile(std::string(kProfileFolder) + ".lock"), FileLock::Mode::kWait);
  const fs::path outDir = base / kOutputFolder;
  const fs::path inDir = base / kInputFolder;
  fs::remove_all(outDir, ec);
  fs::remove_all(inDir, ec);
  fs::create_directories(outDir, ec);
  if (!ec) fs::create_directories(inDir, ec);
  if (ec) return texts;
  // The program names what it saves after the document: links of names of
  // their own keep two documents of one name apart.
  std::vector<std::string> argv = {
      OfficeProgram(), "--headless", "--norestore", "--nolockcheck", "-env:UserInstallation=" + FileUrl(profile),
      "--convert-to",  kOdtFilter,   "--outdir",    outDir.string()};
  for (std::size_t k = 0; k < documents.size(); ++k) {
    const fs::path link = inDir / (std::to_string(k) + fs::path(documents[k]).extension().string());
    fs::create_symlink(fs::absolute(documents[k], ec), link, ec);
    if (!ec) argv.push_back(link.string());
    ec.clear();
  }
  started = RunProgram(argv) >= 0;
  for (std::size_t k = 0; k < documents.size(); ++k) texts[k] = OdtText(outDir / (std::to_string(k) + ".odt"));
  fs::remove_all(outDir, ec);
  fs::remove_all(inDir, ec);
  return texts;
}

namespace {

// One document's text at TextPathFor(documentPath); false when none came.
bool ExportText(const Environment& env, const std::string& documentPath) {
  bool started = false;
  const std::optional<std::string> text = WordTextsInOneRun(env, {documentPath}, started)[0];
  if (!text) return false;
  std::ofstream out(TextPathFor(documentPath), std::ios::binary | std::ios::trunc);
  out.write(text->data(), static_cast<std::streamsize>(text->size()));
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace

bool WordInstalled() { return RunProgram({OfficeProgram(), "--version"}) == 0; }

bool WordProgramFound() {
  const std::string program = OfficeProgram();
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
  const char* search = std::getenv("PATH");
  std::string_view dirs = search != nullptr ? search : "/usr/bin:/bin";
  while (!dirs.empty()) {
    const std::size_t colon = std::min(dirs.find(':'), dirs.size());
    const std::string dir(dirs.substr(0, colon));
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    dirs.remove_prefix(std::min(colon + 1, dirs.size()));
  }
  return false;
}

ConvertResult WordToText(Context& ctx, const std::string& documentPath) {
  if (!ExportText(ctx.env, documentPath)) {
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
  return ExportText(*impl_->env, documentPath);
}

void WordInstance::Close() {
  if (impl_ != nullptr) impl_->open = false;
}

}  // namespace quirel::convert
