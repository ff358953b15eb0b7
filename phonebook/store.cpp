#include "phonebook/store.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/ini.h"
#include "common/text.h"
#include "resources/messages.h"

namespace quirel {
namespace {

constexpr std::string PhonebookRecord::*kFields[PhonebookRecord::kFieldCount] = {
    &PhonebookRecord::name,    &PhonebookRecord::mobile,      &PhonebookRecord::phone,        &PhonebookRecord::pager,
    &PhonebookRecord::address, &PhonebookRecord::companyName, &PhonebookRecord::companyPhone, &PhonebookRecord::fax,
    &PhonebookRecord::web,     &PhonebookRecord::email,       &PhonebookRecord::note};

bool IsMarker(unsigned char b) { return b >= 0x10 && b <= 0x1B; }

std::string_view DamageMessage(int damage) {
  switch (damage) {
    case 1:
      return msg::kDamage1;
    case 201:
      return msg::kDamage201;
    case 202:
      return msg::kDamage202;
    case 3:
      return msg::kDamage3;
    default:
      return msg::kDamage203;
  }
}

}  // namespace

int StoreDamage(std::string_view bytes) {
  const std::size_t n = bytes.size();
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (n < 2 || at(0) != 0x09 || at(1) != 0x09) return 1;
  if (n > 3 && at(2) != 0x10) return 201;
  const std::size_t last = n - 1;
  int count[12] = {};
  std::size_t pos[13] = {};
  pos[12] = last;
  for (std::size_t off = 2; off < last; ++off) {
    const unsigned char b = at(off);
    // Everything reads the store only up to its first NUL: a store holding
    // one would lose its tail at the next save, so it goes to the backup whole.
    if (b == 0) return 202;
    if (!IsMarker(b)) continue;
    const int k = b - 0x10;
    ++count[k];
    pos[k] = off + 1;
    if (b != 0x1B) continue;
    // Each marker exactly once, in ascending order.
    for (int m = 0; m < 12; ++m) {
      if (count[m] != 1 || pos[m] > pos[m + 1]) return 202;
      count[m] = 0;
    }
  }
  if (at(last) != 0x1E) return 3;
  if (n > 3 && at(n - 2) != 0x1B) return 203;
  return 0;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

namespace {

// Field text never holds the store's delimiters; a line break survives only
// as a CR LF pair, which the save removes. Stray control bytes would be taken
// for markers by the reader's line layout, so they go too.
std::string CleanField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += "\r\n";
      ++i;
    } else if (c >= 0x20 || c == '\t') {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

// Every line break of typed text as CR LF, the form the save removes.
std::string CrLfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (text[i] == '\n') {
      out += "\r\n";
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

std::string& PhonebookRecord::Field(int k) { return this->*kFields[k]; }
const std::string& PhonebookRecord::Field(int k) const { return this->*kFields[k]; }

PhonebookFiles PhonebookFiles::InDirectory(const std::string& directory) {
  const std::string base = directory + "/tarnviktelcom";
  return {base + ".tel", base + ".bak",  base + ".idx",  base + ".qry",
          base + ".tmp", base + ".tmp1", base + ".tmp2", base + ".tmp3"};
}

PhonebookFiles PhonebookFiles::For(const Environment& env) { return InDirectory(env.home); }

FileLock LockStore(const std::string& storePath) { return FileLock(storePath + ".lock", FileLock::Mode::kWait); }

std::string NameKey(std::string_view name) {
  std::string key(1, kMarkName);
  key.append(name);
  key.push_back(kMarkMobile);
  return key;
}

StoreCheck CheckStore(const PhonebookFiles& files, UserInterface& ui) {
  std::string bytes;
  if (!ReadFileBytes(files.store, bytes)) {
    if (!WriteFileAtomically(files.store, std::string(kEmptyStore))) {
      ui.ShowMessage(msg::kStoreCreateFailed, msg::kCaption, Icon::Error);
      return StoreCheck::kUnusable;
    }
    return StoreCheck::kUsable;
  }
  const int damage = StoreDamage(bytes);
  if (damage == 0) return StoreCheck::kUsable;
  ui.ShowMessage(DamageMessage(damage), msg::kCaption, Icon::Error);
  // The damaged data survives only in the backup; its result is not checked,
  // as the phonebook goes on with an empty store either way.
  (void)WriteFileAtomically(files.backup, bytes);
  return StoreCheck::kUnusable;
}

bool ReadStoreBytes(const std::string& path, std::string& text) {
  if (!ReadFileBytes(path, text)) return false;
  const auto nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return true;
}

std::vector<std::string> ListNames(std::string_view text) {
  std::vector<std::string> names;
  std::size_t pos = 0;
  while (pos + 1 < text.size()) {
    const auto a = text.find(kMarkName, pos);
    if (a == std::string_view::npos) break;
    const auto b = text.find(kMarkMobile, a);
    if (b == std::string_view::npos) break;
    names.emplace_back(text.substr(a + 1, b - a - 1));
    pos = text.find(kMarkEnd, b);
    if (pos == std::string_view::npos) break;
  }
  return names;
}

std::optional<PhonebookRecord> ParseRecord(std::string_view text, std::string_view name) {
  const auto start = text.find(NameKey(name));
  if (start == std::string_view::npos) return std::nullopt;
  PhonebookRecord record;
  record.name = std::string(name);
  std::size_t previous = start + 1 + name.size();  // the 0x11
  for (int k = 1; k < PhonebookRecord::kFieldCount; ++k) {
    const auto next = text.find(static_cast<char>(0x10 + k + 1), previous);
    if (next == std::string_view::npos) return std::nullopt;
    record.Field(k) = std::string(text.substr(previous + 1, next - previous - 1));
    previous = next;
  }
  return record;
}

std::string BuildRecord(const PhonebookRecord& record) {
  std::string out;
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) {
    out.push_back(static_cast<char>(0x10 + k));
    out += record.Field(k);
  }
  out.push_back(kMarkEnd);
  return out;
}

std::string_view RecordAt(std::string_view text, std::size_t at) {
  if (at >= text.size()) return {};
  const auto end = text.find(kMarkEnd, at);
  if (end == std::string_view::npos) return {};
  return text.substr(at, end - at + 1);
}

std::size_t ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
  if (what.empty()) return 0;
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
    ++count;
  }
  return count;
}

RecordCheck StoreForm(const PhonebookRecord& fields, PhonebookRecord& clean, std::string& record) {
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) clean.Field(k) = CleanField(fields.Field(k));
  // The limit counts the line breaks the store then drops.
  const std::size_t size = BuildRecord(clean).size();
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) ReplaceAll(clean.Field(k), "\r\n", "");
  if (clean.name.empty()) return RecordCheck::kNoName;
  if (size >= kRecordLimit) return RecordCheck::kTooLong;
  record = BuildRecord(clean);
  return RecordCheck::kOk;
}

bool SplitRecord(std::string_view record, PhonebookRecord& fields) {
  if (record.empty() || record.front() != kMarkName || record.back() != kMarkEnd) return false;
  std::size_t start = 1;
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) {
    const auto end = record.find(static_cast<char>(0x10 + k + 1), start);
    if (end == std::string_view::npos) return false;
    fields.Field(k) = std::string(record.substr(start, end - start));
    start = end + 1;
  }
  return start == record.size();
}

SaveOutcome SaveRecord(const PhonebookRecord& fields, EditMode mode, std::string_view previousName,
                       const std::string& storePath, UserInterface& ui) {
  SaveOutcome outcome;
  PhonebookRecord clean;
  std::string record;
  switch (StoreForm(fields, clean, record)) {
    case RecordCheck::kNoName:
      ui.ShowMessage(msg::kNameEmpty, msg::kCaption, Icon::Warning);
      outcome.focusField = 0;
      return outcome;
    case RecordCheck::kTooLong:
      ui.ShowMessage(msg::kRecordTooLong, msg::kCaption, Icon::Error);
      return outcome;
    case RecordCheck::kOk:
      break;
  }

  const FileLock lock = LockStore(storePath);
  std::string text;
  if (!ReadStoreBytes(storePath, text)) {
    ui.ShowMessage(msg::kOpenFileFailed, msg::kCaption, Icon::Error);
    return outcome;
  }
  if (const auto end = text.find(kStoreEnd); end != std::string::npos) text.resize(end);

  if (mode == EditMode::Edit) {
    const std::string old(RecordAt(text, text.find(NameKey(previousName))));
    ReplaceAll(text, old, "");
  }

  const auto at = text.find(NameKey(clean.name));
  const std::string existing(at == std::string::npos ? std::string_view() : RecordAt(text, at));
  if (existing.empty()) {
    text += record;
  } else if (existing == record) {
    outcome.saveResult = SaveResult::kNameListed;
  } else {
    const Answer answer = ui.ShowMessage(msg::kNameExists, msg::kCaption, Icon::Question, Buttons::YesNo);
    if (answer != Answer::Yes) {
      outcome.saveResult = SaveResult::kDeclined;
      outcome.focusField = 0;
      return outcome;
    }
    outcome.saveResult = SaveResult::kNameListed;
    ReplaceAll(text, existing, record);
  }

  text.push_back(kStoreEnd);
  if (!WriteFileAtomically(storePath, text)) {
    ui.ShowMessage(msg::kOpenFileFailed, msg::kCaption, Icon::Error);
    return outcome;
  }
  outcome.saved = true;
  outcome.entry = " " + clean.name;
  return outcome;
}

bool RecordFromUtf8(const PhonebookRecord& utf8, PhonebookRecord& gbk, int* badField) {
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) {
    if (!Utf8ToGbk(CrLfLines(utf8.Field(k)), gbk.Field(k))) {
      if (badField != nullptr) *badField = k;
      return false;
    }
  }
  return true;
}

PhonebookRecord RecordToUtf8(const PhonebookRecord& gbk) {
  PhonebookRecord utf8;
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) utf8.Field(k) = GbkToUtf8(gbk.Field(k));
  return utf8;
}

SaveOutcome SaveRecordUtf8(const PhonebookRecord& utf8, EditMode mode, std::string_view previousName,
                           const std::string& storePath, UserInterface& ui) {
  PhonebookRecord gbk;
  int bad = -1;
  if (!RecordFromUtf8(utf8, gbk, &bad)) {
    SaveOutcome outcome;
    ui.ShowMessage(bad == 0 ? msg::kNameNotGbk : msg::kFieldNotGbk, msg::kCaption, Icon::Warning);
    outcome.focusField = bad;
    return outcome;
  }
  return SaveRecord(gbk, mode, previousName, storePath, ui);
}

bool DeleteRecords(const std::vector<std::string>& names, std::string text, const std::string& storePath,
                   UserInterface& ui) {
  for (const auto& name : names) {
    const std::string record(RecordAt(text, text.find(NameKey(name))));
    ReplaceAll(text, record, "");
  }
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  if (!WriteFileAtomically(storePath, text)) {
    ui.ShowMessage(msg::kOpenFileFailed, msg::kCaption, Icon::Error);
    return false;
  }
  return true;
}

}  // namespace quirel
