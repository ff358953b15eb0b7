// What the phonebook window does around its dialogs, with its messages, so
// that a front end only runs the dialogs and mirrors the list. Names in the
// list and in records are GBK; texts typed by a person are UTF-8.
#pragma once

#include <optional>
#include <string>

#include "common/ui.h"
#include "phonebook/list.h"
#include "phonebook/store.h"

namespace quirel {

// The phonebook command: checks the store and, when it is damaged or
// missing, starts an empty one. false when there is no store to open.
bool PreparePhonebookStore(const PhonebookFiles& files, UserInterface& ui);

// Window opening: fills the list from the store. false when the store cannot
// be read (message shown): the window closes.
bool LoadPhonebookList(const PhonebookFiles& files, PhonebookList& list, UserInterface& ui);

// "添 加": after the record dialog ended.
void AfterAdd(PhonebookList& list, const SaveOutcome& outcome);

// "删 除": asks, deletes the selected records in one write, updates the list.
// kFailed when nothing was selected or the store failed (message shown).
enum class DeleteResult : int { kDeleted = 0, kFailed = 1, kDeclined = 2 };
[[nodiscard]] DeleteResult DeleteSelected(PhonebookList& list, const PhonebookFiles& files, UserInterface& ui);

// "编 辑": the current entry's record for the record dialog.
struct EditStart {
  std::string previousName;  // GBK
  PhonebookRecord record;    // GBK
};
std::optional<EditStart> BeginEdit(PhonebookList& list, const PhonebookFiles& files, UserInterface& ui);
void AfterEdit(PhonebookList& list, const std::string& previousName, const SaveOutcome& outcome);

// "查 找": selects the first entry beginning with the typed text (UTF-8),
// ignoring case; nullopt = the find dialog was cancelled.
bool FindName(PhonebookList& list, const std::optional<std::string>& typed, UserInterface& ui);

}  // namespace quirel
