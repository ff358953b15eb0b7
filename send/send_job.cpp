// The send job: the send list's folders mirrored on the reader, then its
// files, with the overall bar, the Word conversions and the final report.
#include "send/send_job.h"

#include <algorithm>
#include <fstream>
#include <set>

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
// readable, when given, is set to false when the folder cannot be read
// (whole or in part): its files can then be neither sent nor named.
std::vector<Listed> ListFolder(const std::string& dir, const std::vector<fs::path>& chain, bool* readable = nullptr) {
  std::vector<Listed> entries;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code kindError;
    Listed listed{it->path().filename().string(), it->is_directory(kindError)};
    if (listed.isDirectory && std::find(chain.begin(), chain.end(), Canonical(it->path())) != chain.end()) continue;
    entries.push_back(std::move(listed));
  }
  if (readable != nullptr) *readable = !ec;
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

std::string StripTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::string RecordsKey(const std::vector<NameRecord>& records) {
  std::string key;
  for (const NameRecord& record : records) key.append(record.begin(), record.end());
  return key;
}

// A name of at most 14 bytes ending in "~n", as shortened names usually are.
std::string NumberedName(const std::string& gbkBase, int n) {
  const std::string suffix = "~" + std::to_string(n);
  return CutGbk(gbkBase, 14 - suffix.size()) + suffix;
}

}  // namespace

SendJob::SendJob(Link& link, convert::Context& ctx, std::unique_ptr<WordProcessor> word)
    : link_(link), ctx_(ctx), word_(word ? std::move(word) : MakeDefaultWordProcessor(ctx.env)) {}

int SendJob::CountFiles(const std::string& dir) {
  std::vector<fs::path> chain;
  return CountBelow(StripTrailingSlashes(dir), chain);
}

void SendJob::PlanFile(const std::string& realPath, const std::string& asSent, int depth) {
  PlannedFile file;
  file.realPath = realPath;
  std::vector<NameRecord> records;
  file.sendable =
      depth >= 0 && BuildPathRecords(asSent, depth, records) && HeaderNameOf(asSent, file.gbkBase, file.gbkExtension);
  file.folderKey = RecordsKey(records);
  if (file.sendable) planIndex_[realPath + '\n' + file.folderKey].push_back(plan_.size());
  plan_.push_back(std::move(file));
}

void SendJob::PlanFolder(int level, const std::string& dir, const std::string& dirAsSent) {
  walkChain_.push_back(Canonical(dir));
  bool readable = true;
  const std::vector<Listed> entries = ListFolder(dir, walkChain_, &readable);
  // A folder that cannot be read stands in the report for what it holds.
  if (!readable) PlanFile(dir, dirAsSent, -1);
  for (const Listed& entry : entries) {
    const std::string path = dir + "/" + entry.name;
    const std::string asSent = dirAsSent + "/" + entry.name;
    if (entry.isDirectory)
      PlanFolder(level + 1, path, asSent);
    else
      PlanFile(path, asSent, level > kMaxFileLevel ? -1 : level + 1);  // too deep: never sent
  }
  walkChain_.pop_back();
}

bool SendJob::Plan(const std::vector<const SendEntryItem*>& folders, const std::vector<const SendEntryItem*>& files) {
  plan_.clear();
  planIndex_.clear();
  for (const SendEntryItem* folder : folders) {
    walkChain_.clear();
    const std::string dir = StripTrailingSlashes(folder->realPath);
    PlanFolder(0, dir, LowerAscii(dir));
  }
  walkChain_.clear();
  for (const SendEntryItem* file : files) PlanFile(file->realPath, LowerAscii(file->realPath), 0);
  return ResolveCollisions();
}

bool SendJob::ResolveCollisions() {
  // The reader keeps one file per name in a folder: a second one of the same
  // name would silently replace the first. Names are compared as the header
  // carries them (cut to 14 bytes, the extension to 3).
  const bool convertFormat = sendFormat == kConvertFormat;
  auto nameKey = [&](const PlannedFile& file, const std::string& base) {
    const FileHeader header = MakeFileHeader(base, file.gbkExtension, convertFormat, 1);
    return file.folderKey + '\n' + std::string(header.begin(), header.begin() + 17);
  };
  auto shownName = [&](const PlannedFile& file) {
    const std::string extension = convertFormat ? "ebk" : CutGbk(file.gbkExtension, 3);
    return GbkToUtf8(CutGbk(file.gbkBase, 14)) + (extension.empty() ? "" : "." + GbkToUtf8(extension));
  };

  std::set<std::string> used;
  for (const PlannedFile& file : plan_)
    if (file.sendable) used.insert(nameKey(file, file.gbkBase));
  std::map<std::string, std::vector<std::size_t>> groups;  // by the name each would have had
  std::vector<std::string> order;
  std::set<std::string> claimed;
  for (std::size_t i = 0; i < plan_.size(); ++i) {
    PlannedFile& file = plan_[i];
    if (!file.sendable) continue;
    const std::string natural = nameKey(file, file.gbkBase);
    auto& group = groups[natural];
    if (group.empty()) order.push_back(natural);
    group.push_back(i);
    if (claimed.insert(natural).second) continue;
    for (int n = 2;; ++n) {
      const std::string candidate = NumberedName(file.gbkBase, n);
      const std::string key = nameKey(file, candidate);
      if (!used.insert(key).second) continue;
      claimed.insert(key);
      file.gbkBase = candidate;
      file.renamed = true;
      break;
    }
  }

  std::string lines;
  for (const std::string& natural : order) {
    const auto& group = groups[natural];
    if (group.size() < 2) continue;
    for (std::size_t i : group) lines += "\n" + plan_[i].realPath + " → " + shownName(plan_[i]);
  }
  // Nothing has gone yet: the user may stop here rather than have files renamed.
  return lines.empty() || link_.ui().ShowMessage(std::string(msg::kNameCollision) + lines, msg::kCaption, Icon::Warning,
                                                 Buttons::OkCancel) != Answer::Cancel;
}

SendJob::PlannedFile* SendJob::Planned(const std::vector<NameRecord>& records) {
  if (currentReal_.empty()) return nullptr;
  const auto it = planIndex_.find(currentReal_ + '\n' + RecordsKey(records));
  if (it == planIndex_.end()) return nullptr;
  // One file reached twice (through a linked folder) is two entries, taken in turn.
  for (std::size_t i : it->second)
    if (!plan_[i].reached) {
      plan_[i].reached = true;
      return &plan_[i];
    }
  return nullptr;
}

void SendJob::EndEarly() {
  if (ProgressWindow* window = link_.ui().Progress(ProgressKind::Send)) window->Hide();
  link_.ui().EnableWindow(Window::Main, true);
}

LinkResult SendJob::WalkDirectory(int level, const std::string& dir, const std::string& dirAsSent) {
  UserInterface& ui = link_.ui();
  if (level > 6) {
    ui.ShowMessage(msg::kTooDeep, msg::kCaption, Icon::Error);
    return LinkResult::kDone;
  }
  std::vector<NameRecord> records;
  const int built = BuildFolderRecords(dirAsSent, level, records);
  if (built == 1) return LinkResult::kFailed;
  if (built == 2) {
    // A folder name without a GBK form cannot be told to the reader: the
    // folder is left out like a file that cannot be opened, the walk goes on.
    sendFailed = 1;
    return LinkResult::kDone;
  }
  walkChain_.push_back(Canonical(dir));
  struct ChainGuard {
    std::vector<fs::path>& chain;
    ~ChainGuard() { chain.pop_back(); }
  } guard{walkChain_};
  bool readable = true;
  const std::vector<Listed> entries = ListFolder(dir, walkChain_, &readable);
  if (!readable) {
    sendFailed = 1;  // named in the report, like a file that cannot be opened
    return LinkResult::kDone;
  }
  if (SendDirectoryPath(link_, records) != LinkResult::kDone) return LinkResult::kFailed;

  ProgressWindow* window = ui.Progress(ProgressKind::Send);
  for (const Listed& entry : entries) {
    const std::string path = dir + "/" + entry.name;
    const std::string pathAsSent = dirAsSent + "/" + entry.name;
    if (entry.isDirectory) {
      sourcePath = pathAsSent;
      if (WalkDirectory(level + 1, path, pathAsSent) == LinkResult::kFailed) return LinkResult::kFailed;
      continue;
    }
    if (level > kMaxFileLevel) {
      ui.ShowMessage(msg::kTooDeep, msg::kCaption, Icon::Error);
      return LinkResult::kDone;
    }
    sourcePath = pathAsSent;
    currentReal_ = path;
    currentName = LowerAscii(entry.name);
    if (window != nullptr) window->SetLabel("/../" + currentName);
    fileKind = convert::ClassifyName(currentName);
    std::string sendPath = path;
    std::string workCopy;
    if (fileKind == convert::kWordDocument) {
      // Both are asked for each document; a document the job's one run
      // prepared needs no run of its own.
      const bool installed = word_->Installed();
      if (installed && sendFormat == kConvertFormat) {
        workCopy = convert::WordWorkCopy(ctx_, path);
        if (workCopy.empty() || !WordText(path, workCopy, false)) {
          convert::RemoveWordWorkCopy(workCopy);
          return LinkResult::kFailed;
        }
        sendPath = convert::TextPathFor(workCopy);
        sourcePath = convert::TextPathFor(pathAsSent);
        fileKind = convert::kText;
      }
    }
    link_.clock().Sleep(kPauseBeforeFileMs);
    const LinkResult result =
        sendFormat == kConvertFormat ? SendEntry(level + 1, sendPath) : SendAsIs(level + 1, sendPath);
    convert::RemoveWordWorkCopy(workCopy);
    if (result != LinkResult::kDone) {
      // The rest of this folder is left out; the parent goes on unless the
      // user stopped the job.
      sendFailed = 1;
      return userStopped == 1 ? LinkResult::kFailed : LinkResult::kDone;
    }
    if (window != nullptr) window->StepIt(Bar::Overall);
  }
  return LinkResult::kDone;
}

bool SendJob::WordText(const std::string& document, const std::string& workCopy, bool inInstance) {
  if (const std::optional<std::string> text = word_->PreparedText(document)) {
    std::ofstream out(convert::TextPathFor(workCopy), std::ios::binary | std::ios::trunc);
    out.write(text->data(), static_cast<std::streamsize>(text->size()));
    out.flush();
    return static_cast<bool>(out);
  }
  if (inInstance) return word_->ConvertInInstance(workCopy);
  return word_->ToText(ctx_, workCopy) == convert::ConvertResult::kDone;
}

LinkResult SendJob::SendOneEntryFile(const SendEntryItem& item, bool useInstance) {
  const std::string& real = item.realPath;
  const auto slash = real.rfind('/');
  // The list's text is lower-cased, and so is everything the reader is told
  // about a file chosen on its own.
  sourcePath = LowerAscii(real);
  currentReal_ = real;
  currentName = sourcePath.substr(slash == std::string::npos ? 0 : slash + 1);
  if (ProgressWindow* window = link_.ui().Progress(ProgressKind::Send)) window->SetLabel(currentName);
  currentName = LowerAscii(currentName);
  fileKind = convert::ClassifyName(currentName);

  std::string sendPath = real;
  std::string workCopy;
  if (useInstance && fileKind == convert::kWordDocument) {
    workCopy = convert::WordWorkCopy(ctx_, real);
    if (workCopy.empty()) return LinkResult::kFailed;
    // A failed conversion leaves no text file, so the send below fails.
    (void)WordText(real, workCopy, true);
    sendPath = convert::TextPathFor(workCopy);
    fileKind = convert::kText;
  }
  LinkResult result;
  if (useInstance || sendFormat == kConvertFormat)
    result = SendEntry(0, sendPath);
  else
    result = SendAsIs(0, sendPath);
  convert::RemoveWordWorkCopy(workCopy);
  return result;
}

LinkResult SendJob::Run(const SendList& list) {
  UserInterface& ui = link_.ui();
  sentCount = static_cast<int>(list.size());
  if (sentCount == 0) {
    ui.ShowMessage(msg::kNothingToSend, msg::kCaption, Icon::Information);
    return LinkResult::kFailed;
  }
  const std::optional<int> format = ui.AskSendFormat(sendFormat);
  if (!format) return LinkResult::kInterrupted;
  sendFormat = *format == kKeepFormat ? kKeepFormat : kConvertFormat;

  // Folders and files by what they are, not by a leading blank in the text:
  // a file name may begin with a blank here.
  std::vector<const SendEntryItem*> folders, files;
  for (const SendEntryItem& item : list.Items()) (item.isFolder ? folders : files).push_back(&item);
  // Before anything moves, so that the user learns of renamed files first.
  if (!Plan(folders, files)) return LinkResult::kInterrupted;
  struct CurrentGuard {
    std::string& current;
    ~CurrentGuard() { current.clear(); }
  } currentGuard{currentReal_};

  sendFailed = 0;
  userStopped = 0;
  link_.linkLost = 0;
  ProgressWindow& window = ui.NewProgress(ProgressKind::Send);
  window.Show();
  ui.EnableWindow(Window::Main, false);

  // Every word-processor document of the job goes through one run of the
  // word processor, not one run each.
  if (sendFormat == kConvertFormat) {
    std::vector<std::string> documents;
    for (const PlannedFile& file : plan_)
      if (file.sendable &&
          convert::ClassifyName(LowerAscii(fs::path(file.realPath).filename().string())) == convert::kWordDocument)
        documents.push_back(file.realPath);
    word_->Prepare(documents);
  }

  const int inFolders = static_cast<int>(plan_.size() - files.size());
  // The word processor is started for the files it is to convert: by their
  // names' kind, as below (".docx" and ".odt" are read directly).
  bool anyDocument = false;
  for (const SendEntryItem* file : files)
    anyDocument = anyDocument || convert::ClassifyName(LowerAscii(fs::path(file->realPath).filename().string())) ==
                                     convert::kWordDocument;

  window.SetRange(Bar::Overall, 0, inFolders + static_cast<int>(files.size()));
  window.SetStep(Bar::Overall, 1);
  window.SetPos(Bar::Overall, 0);

  for (const SendEntryItem* folder : folders) {
    walkChain_.clear();
    const std::string dir = StripTrailingSlashes(folder->realPath);
    if (WalkDirectory(0, dir, LowerAscii(dir)) == LinkResult::kFailed) sendFailed = 1;
    if (userStopped == 1) return LinkResult::kInterrupted;
    if (link_.linkLost == 1) {
      EndEarly();
      return LinkResult::kFailed;
    }
  }

  const bool useInstance = anyDocument && word_->Installed() && sendFormat == kConvertFormat;
  if (useInstance) {
    if (!word_->OpenInstance()) {
      ui.ShowMessage(msg::kWordError, msg::kCaption, Icon::Error);
      EndEarly();
      return LinkResult::kFailed;
    }
  } else if (anyDocument && sendFormat == kConvertFormat && !word_->Installed()) {
    ui.ShowMessage(msg::kNoWordConvert, msg::kCaption, Icon::Information);
  }
  auto closeInstance = [&] {
    if (useInstance) word_->CloseInstance();
  };
  for (const SendEntryItem* file : files) {
    if (SendOneEntryFile(*file, useInstance) != LinkResult::kDone) {
      sendFailed = 1;
      --sentCount;
      if (link_.linkLost == 1) {
        closeInstance();
        EndEarly();
        return LinkResult::kFailed;
      }
    }
    if (userStopped == 1) {
      closeInstance();
      return LinkResult::kInterrupted;
    }
    if (sentCount != 1) window.StepIt(Bar::Overall);
  }
  closeInstance();

  // The end burst closes the job on the reader. Its failures change nothing,
  // so a reader that is gone is not waited for ten times over.
  if (link_.OpenLink() != LinkResult::kDone) EndEarly();
  (void)link_.SendBurst(kEndCommand);  // see above: its failure changes nothing

  // The report counts what reached the reader and names what did not: files
  // that failed, those of a folder left out after a failure, and those too
  // deep to go.
  sentCount = 0;
  std::string missing;
  std::size_t missingCount = 0;
  for (const PlannedFile& file : plan_) {
    if (file.arrived) {
      ++sentCount;
    } else {
      missing += "\n" + file.realPath;
      ++missingCount;
    }
  }
  window.SetPos(Bar::Overall, sentCount == 1 ? 2 : sentCount);
  if (sendFailed == 1) ui.ShowMessage(msg::kSomeNotSent, msg::kCaption, Icon::Error);
  const std::string report = " " + std::to_string(sentCount) + std::string(msg::kFilesSentSuffix);
  if (userStopped != 0) {
    // no report after an interrupt
  } else if (missingCount == 0) {
    ui.ShowMessage(report, msg::kCaption, Icon::Information);
  } else {
    // Fewer files went than were chosen: a warning, not a notice.
    ui.ShowMessageWithDetail(report, msg::kCaption, Icon::Warning, std::string(msg::kNotSentHeading) + missing);
  }
  ui.RedrawWindow(Window::Main);
  window.Hide();
  ui.EnableWindow(Window::Main, true);
  return missingCount > 0 || link_.linkLost == 1 ? LinkResult::kFailed : LinkResult::kDone;
}

}  // namespace quirel::send
