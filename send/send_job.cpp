// The send job: the send list's folders mirrored on the reader, then its
// files, with the overall bar, the Word conversions and the final report.
#include "send/send_job.h"

#include <algorithm>

#include "common/text.h"
#include "resources/messages.h"

namespace quirel::send {
namespace fs = std::filesystem;
namespace {

constexpr std::uint8_t kEndCommand = 0x4E;
constexpr unsigned kPauseBeforeFileMs = 50;

struct Listed {
  std::string name;
  bool isDirectory = false;
};

fs::path Canonical(const fs::path& path) {
  std::error_code ec;
  fs::path canonical = fs::canonical(path, ec);
  return ec ? path : canonical;
}

// One listing of a folder, taken once and sorted by name, so that the walk
// continues after a subfolder exactly where it left off, however many entries
// there are. A folder that leads back into one being walked (through a
// symbolic link) is left out.
std::vector<Listed> ListFolder(const std::string& dir, const std::vector<fs::path>& chain) {
  std::vector<Listed> entries;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return entries;
  for (const fs::directory_entry& entry : it) {
    std::error_code kindError;
    Listed listed{entry.path().filename().string(), entry.is_directory(kindError)};
    if (listed.isDirectory && std::find(chain.begin(), chain.end(), Canonical(entry.path())) != chain.end()) continue;
    entries.push_back(std::move(listed));
  }
  std::sort(entries.begin(), entries.end(), [](const Listed& a, const Listed& b) {
    if (LessNoCase(a.name, b.name)) return true;
    if (LessNoCase(b.name, a.name)) return false;
    return a.name < b.name;
  });
  return entries;
}

int CountBelow(const std::string& dir, std::vector<fs::path>& chain) {
  chain.push_back(Canonical(dir));
  int count = 0;
  for (const Listed& entry : ListFolder(dir, chain))
    count += entry.isDirectory ? CountBelow(dir + "/" + entry.name, chain) : 1;
  chain.pop_back();
  return count;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string StripTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

SendJob::SendJob(Link& link, convert::Context& ctx, std::unique_ptr<WordProcessor> word)
    : link_(link), ctx_(ctx), word_(word ? std::move(word) : MakeDefaultWordProcessor(ctx.env)) {}

int SendJob::CountFiles(const std::string& dir) {
  std::vector<fs::path> chain;
  return CountBelow(StripTrailingSlashes(dir), chain);
}

void SendJob::EndEarly() {
  if (ProgressWindow* window = link_.ui().Progress(ProgressKind::Send)) window->Hide();
  link_.ui().EnableWindow(Window::Main, true);
}

int SendJob::WalkDirectory(int level, const std::string& dir, const std::string& dirAsSent) {
  UserInterface& ui = link_.ui();
  if (level > 6) {
    ui.ShowMessage(msg::kTooDeep, msg::kCaption, Icon::Error);
    return kDone;
  }
  std::vector<NameRecord> records;
  const int built = BuildFolderRecords(dirAsSent, level, records);
  if (built == 1) return kFailed;
  if (built == 2) {
    // A folder name without a GBK form cannot be told to the reader: the
    // folder is left out like a file that cannot be opened, the walk goes on.
    sendFailed = 1;
    return kDone;
  }
  if (SendDirectoryPath(link_, records) != kDone) return kFailed;

  walkChain_.push_back(Canonical(dir));
  struct ChainGuard {
    std::vector<fs::path>& chain;
    ~ChainGuard() { chain.pop_back(); }
  } guard{walkChain_};

  ProgressWindow* window = ui.Progress(ProgressKind::Send);
  for (const Listed& entry : ListFolder(dir, walkChain_)) {
    const std::string path = dir + "/" + entry.name;
    const std::string pathAsSent = dirAsSent + "/" + entry.name;
    if (entry.isDirectory) {
      sourcePath = pathAsSent;
      if (WalkDirectory(level + 1, path, pathAsSent) == kFailed) return kFailed;
      continue;
    }
    if (level > kMaxFileLevel) {
      ui.ShowMessage(msg::kTooDeep, msg::kCaption, Icon::Error);
      return kDone;
    }
    sourcePath = pathAsSent;
    currentName = LowerAscii(entry.name);
    if (window != nullptr) window->SetLabel("/../" + currentName);
    fileKind = convert::ClassifyName(currentName);
    std::string sendPath = path;
    std::string workCopy;
    if (fileKind == convert::kWordDocument) {
      // Both are asked for each document, as each conversion is a run of its own.
      const bool installed = word_->Installed();
      if (installed && sendFormat == kConvertFormat) {
        workCopy = convert::WordWorkCopy(ctx_, path);
        if (workCopy.empty() || word_->ToText(ctx_, workCopy) != 0) {
          convert::RemoveWordWorkCopy(workCopy);
          return kFailed;
        }
        sendPath = convert::TextPathFor(workCopy);
        sourcePath = convert::TextPathFor(pathAsSent);
        fileKind = convert::kText;
      }
    }
    link_.clock().Sleep(kPauseBeforeFileMs);
    const int result = sendFormat == kConvertFormat ? SendEntry(level + 1, sendPath) : SendAsIs(level + 1, sendPath);
    convert::RemoveWordWorkCopy(workCopy);
    if (result != kDone) {
      // The rest of this folder is left out; the parent goes on unless the
      // user stopped the job.
      sendFailed = 1;
      return userStopped == 1 ? kFailed : kDone;
    }
    if (window != nullptr) window->StepIt(Bar::Overall);
  }
  return kDone;
}

int SendJob::SendOneEntryFile(const SendEntryItem& item, bool useInstance) {
  const std::string& real = item.realPath;
  const auto slash = real.rfind('/');
  // The list's text is lower-cased, and so is everything the reader is told
  // about a file chosen on its own.
  sourcePath = LowerAscii(real);
  currentName = sourcePath.substr(slash == std::string::npos ? 0 : slash + 1);
  if (ProgressWindow* window = link_.ui().Progress(ProgressKind::Send)) window->SetLabel(currentName);
  currentName = LowerAscii(currentName);
  fileKind = convert::ClassifyName(currentName);

  std::string sendPath = real;
  std::string workCopy;
  if (useInstance && fileKind == convert::kWordDocument) {
    workCopy = convert::WordWorkCopy(ctx_, real);
    if (workCopy.empty()) return kFailed;
    // A failed conversion leaves no text file, so the send below fails.
    word_->ConvertInInstance(workCopy);
    sendPath = convert::TextPathFor(workCopy);
    fileKind = convert::kText;
  }
  int result;
  if (useInstance || sendFormat == kConvertFormat)
    result = SendEntry(0, sendPath);
  else
    result = SendAsIs(0, sendPath);
  convert::RemoveWordWorkCopy(workCopy);
  return result;
}

int SendJob::Run(const SendList& list) {
  UserInterface& ui = link_.ui();
  sentCount = static_cast<int>(list.size());
  if (sentCount == 0) {
    ui.ShowMessage(msg::kNothingToSend, msg::kCaption, Icon::Information);
    return kFailed;
  }
  const std::optional<int> format = ui.AskSendFormat(sendFormat);
  if (!format) return kInterrupted;
  sendFormat = *format == kKeepFormat ? kKeepFormat : kConvertFormat;

  sendFailed = 0;
  userStopped = 0;
  link_.linkLost = 0;
  ProgressWindow& window = ui.NewProgress(ProgressKind::Send);
  window.Show();
  ui.EnableWindow(Window::Main, false);

  // Folders and files by what they are, not by a leading blank in the text:
  // a file name may begin with a blank here.
  std::vector<const SendEntryItem*> folders, files;
  for (const SendEntryItem& item : list.Items()) (item.isFolder ? folders : files).push_back(&item);

  int inFolders = 0;
  for (const SendEntryItem* folder : folders) inFolders += CountFiles(folder->realPath);
  bool anyDocument = false;
  for (const SendEntryItem* file : files) anyDocument = anyDocument || Contains(file->text, ".doc");

  window.SetRange(Bar::Overall, 0, inFolders + static_cast<int>(files.size()));
  window.SetStep(Bar::Overall, 1);
  window.SetPos(Bar::Overall, 0);

  for (const SendEntryItem* folder : folders) {
    walkChain_.clear();
    const std::string dir = StripTrailingSlashes(folder->realPath);
    if (WalkDirectory(0, dir, LowerAscii(dir)) == kFailed) sendFailed = 1;
    if (userStopped == 1) return kInterrupted;
    if (link_.linkLost == 1) {
      EndEarly();
      return kFailed;
    }
  }

  const bool useInstance = anyDocument && word_->Installed() && sendFormat == kConvertFormat;
  if (useInstance) {
    if (!word_->OpenInstance()) {
      ui.ShowMessage(msg::kWordError, msg::kCaption, Icon::Error);
      EndEarly();
      return kFailed;
    }
  } else if (anyDocument && sendFormat == kConvertFormat && !word_->Installed()) {
    ui.ShowMessage(msg::kNoWordConvert, msg::kCaption, Icon::Information);
  }
  auto closeInstance = [&] {
    if (useInstance) word_->CloseInstance();
  };
  for (const SendEntryItem* file : files) {
    if (SendOneEntryFile(*file, useInstance) != kDone) {
      sendFailed = 1;
      --sentCount;
      if (link_.linkLost == 1) {
        closeInstance();
        EndEarly();
        return kFailed;
      }
    }
    if (userStopped == 1) {
      closeInstance();
      return kInterrupted;
    }
    if (sentCount != 1) window.StepIt(Bar::Overall);
  }
  closeInstance();

  // The end burst closes the job on the reader. Its failures change nothing,
  // so a reader that is gone is not waited for ten times over.
  if (link_.OpenLink() != kDone) EndEarly();
  link_.SendBurst(kEndCommand);

  sentCount = sentCount - static_cast<int>(folders.size()) + inFolders;
  window.SetPos(Bar::Overall, sentCount == 1 ? 2 : sentCount);
  if (sendFailed == 1) ui.ShowMessage(msg::kSomeNotSent, msg::kCaption, Icon::Error);
  if (userStopped == 0)
    ui.ShowMessage(" " + std::to_string(sentCount) + std::string(msg::kFilesSentSuffix), msg::kCaption,
                   Icon::Information);
  ui.RedrawWindow(Window::Main);
  window.Hide();
  ui.EnableWindow(Window::Main, true);
  return sendFailed == 1 || link_.linkLost == 1 ? kFailed : kDone;
}

}  // namespace quirel::send
