#include "phonebook/window.h"

#include <algorithm>

#include "common/ini.h"
#include "common/text.h"
#include "resources/messages.h"

namespace quirel {

bool PreparePhonebookStore(const PhonebookFiles& files, UserInterface& ui) {
  // A store another program is writing is never taken for a damaged one.
  const FileLock lock = LockStore(files.store);
  if (CheckStore(files, ui) == StoreCheck::kUsable) return true;
  if (!WriteFileAtomically(files.store, std::string(kEmptyStore))) {
    ui.ShowMessage(msg::kStoreRecreateFailed, msg::kCaption, Icon::Error);
    return false;
  }
  return true;
}

bool LoadPhonebookList(const PhonebookFiles& files, PhonebookList& list, UserInterface& ui) {
  std::string text;
  if (!ReadStoreBytes(files.store, text)) {
    ui.ShowMessage(msg::kOpenStoreFailed, msg::kCaption, Icon::Error);
    return false;
  }
  list.Load(ListNames(text));
  return true;
}

void AfterAdd(PhonebookList& list, const SaveOutcome& outcome) {
  if (outcome.saved && outcome.saveResult != SaveResult::kNameListed) list.AddEntry(outcome.entry);
}

DeleteResult DeleteSelected(PhonebookList& list, const PhonebookFiles& files, UserInterface& ui) {
  std::vector<std::size_t> selected = list.SelectedIndices();
  if (selected.empty()) {
    ui.ShowMessage(msg::kChooseName, msg::kCaption, Icon::Warning);
    return DeleteResult::kFailed;
  }
  if (ui.ShowMessage(msg::kConfirmDelete, msg::kCaption, Icon::Warning, Buttons::YesNo) != Answer::Yes)
    return DeleteResult::kDeclined;
  const FileLock lock = LockStore(files.store);
  std::string text;
  if (!ReadStoreBytes(files.store, text)) {
    ui.ShowMessage(msg::kOpenStoreFailed, msg::kCaption, Icon::Error);
    return DeleteResult::kFailed;
  }
  std::reverse(selected.begin(), selected.end());  // highest position first
  std::vector<std::string> names;
  for (const auto index : selected) names.push_back(list.Name(index));
  // The entries leave the list only once the store is written, so that the
  // two never disagree.
  if (!DeleteRecords(names, std::move(text), files.store, ui)) return DeleteResult::kFailed;
  for (const auto index : selected) list.Remove(index);
  list.Narrow();
  return DeleteResult::kDeleted;
}

std::optional<EditStart> BeginEdit(PhonebookList& list, const PhonebookFiles& files, UserInterface& ui) {
  const auto current = list.Current();
  if (!current || *current >= list.Size()) {
    ui.ShowMessage(msg::kChooseName, msg::kCaption, Icon::Warning);
    return std::nullopt;
  }
  EditStart start;
  start.previousName = list.Name(*current);
  std::string text;
  if (!ReadStoreBytes(files.store, text)) {
    ui.ShowMessage(msg::kOpenFileFailed, msg::kCaption, Icon::Error);
    return std::nullopt;
  }
  auto record = ParseRecord(text, start.previousName);
  if (!record) {
    // The store no longer holds this name: bring the list in line with it.
    ui.ShowMessage(msg::kNameNotFound, msg::kCaption, Icon::Warning);
    list.Remove(*current);
    return std::nullopt;
  }
  start.record = std::move(*record);
  return start;
}

void AfterEdit(PhonebookList& list, const std::string& previousName, const SaveOutcome& outcome) {
  if (!outcome.saved) return;
  if (const auto old = list.FindName(previousName)) list.Remove(*old);
  if (outcome.saveResult != SaveResult::kNameListed) list.AddEntry(outcome.entry);
  list.Narrow();
  list.ClearSelection();
  auto index = list.FindExact(outcome.entry);
  if (!index) index = list.FindPrefix(outcome.entry);
  if (index) list.SelectOnly(*index);
}

bool FindName(PhonebookList& list, const std::optional<std::string>& typed, UserInterface& ui) {
  std::string gbk;
  std::optional<std::size_t> index;
  if (typed && Utf8ToGbk(*typed, gbk)) index = list.FindPrefix(" " + gbk);
  if (!index) {
    ui.ShowMessage(msg::kNameNotFound, msg::kCaption, Icon::Warning);
    return false;
  }
  list.SelectOnly(*index);
  return true;
}

}  // namespace quirel
