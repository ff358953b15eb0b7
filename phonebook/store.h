// The phonebook record and the store file beside the program: plain GBK text,
// 0x09 0x09, the records back to back, 0x1E. Every operation reads the whole
// file, edits the text and writes the whole file back (through a temporary
// file, so that a failed write never leaves half a phonebook).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/environment.h"
#include "common/file_lock.h"
#include "common/ui.h"

namespace quirel {

// Marker bytes: 0x10 + field number opens a field, 0x1B closes the record.
inline constexpr char kMarkName = 0x10;
inline constexpr char kMarkMobile = 0x11;
inline constexpr char kMarkEnd = 0x1B;
inline constexpr char kStoreEnd = 0x1E;
inline constexpr std::string_view kEmptyStore = "\x09\x09\x1E";

// A record, markers included, must stay below this many bytes.
inline constexpr std::size_t kRecordLimit = 8192;

// One entry of the phonebook: eleven text fields in their stored order. The
// same struct carries GBK bytes (the store's form) or UTF-8 (the dialog's).
struct PhonebookRecord {
  std::string name, mobile, phone, pager, address, companyName, companyPhone, fax, web, email, note;

  static constexpr int kFieldCount = 11;
  std::string& Field(int k);
  const std::string& Field(int k) const;
  bool operator==(const PhonebookRecord&) const = default;
};

// The store and its companion files, all in the program directory.
struct PhonebookFiles {
  std::string store;   // tarnviktelcom.tel
  std::string backup;  // tarnviktelcom.bak
  std::string idx, qry, tmp, tmp1, tmp2, tmp3;

  static PhonebookFiles For(const Environment& env);
  static PhonebookFiles InDirectory(const std::string& directory);
};

// Held across every read-modify-write of the store, by every program that
// uses it (windows and command lines alike); waits for the one holding it.
// Never taken twice by one program: a second take would wait for itself.
[[nodiscard]] FileLock LockStore(const std::string& storePath);

// 0x10 + name + 0x11: can only match at the start of a record.
std::string NameKey(std::string_view name);

// The first failing check of a store's bytes, as CheckStore reports it: 1,
// 201, 202, 3 or 203; 0 for a sound store.
[[nodiscard]] int StoreDamage(std::string_view bytes);

// kUsable also when it was missing and is created empty; kUnusable when it is
// damaged (reported, copied to the backup) or cannot be created (reported).
enum class StoreCheck : int { kUnusable = 0, kUsable = 1 };
[[nodiscard]] StoreCheck CheckStore(const PhonebookFiles& files, UserInterface& ui);

// The file's bytes up to its first NUL; false when it cannot be opened.
bool ReadStoreBytes(const std::string& path, std::string& text);
// Every byte of a file, NULs included.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// The Name of every record, in file order.
std::vector<std::string> ListNames(std::string_view text);

// The record whose Name is name; nullopt when the text holds none.
std::optional<PhonebookRecord> ParseRecord(std::string_view text, std::string_view name);

std::string BuildRecord(const PhonebookRecord& record);

// From the record starting at `at` through the first 0x1B after it (empty
// when there is no 0x1B).
std::string_view RecordAt(std::string_view text, std::size_t at);

// Replaces every occurrence of `what` by `with`; returns how many.
std::size_t ReplaceAll(std::string& text, std::string_view what, std::string_view with);

enum class EditMode { Add, Edit };

// How a save went: added as a new record, the name already listed (the
// record replaced or left as it was), or No to replacing it.
enum class SaveResult : int { kAdded = 2, kNameListed = 6, kDeclined = 7 };

// What the record dialog needs after its "存贮" button.
struct SaveOutcome {
  bool saved = false;  // the store was written: the dialog ends with OK
  SaveResult saveResult = SaveResult::kAdded;
  int focusField = -1;  // the field to correct (0 = Name), -1 none
  std::string entry;    // " " + Name (GBK), the list's form of the name
};

// A record by the store's rules, as the record dialog applies them: its
// fields cleaned of control bytes, it must have a Name and stay below
// kRecordLimit bytes; line breaks are removed. kOk with the stored form in
// record, or why it may not be stored.
enum class RecordCheck { kOk, kNoName, kTooLong };
RecordCheck StoreForm(const PhonebookRecord& fields, PhonebookRecord& clean, std::string& record);

// The fields of a record in the store's form (markers included); false when
// its markers are not the eleven in order.
bool SplitRecord(std::string_view record, PhonebookRecord& fields);

// Saves a record given in GBK. previousName is used in edit mode.
SaveOutcome SaveRecord(const PhonebookRecord& fields, EditMode mode, std::string_view previousName,
                       const std::string& storePath, UserInterface& ui);

// The same for texts typed in the dialog (UTF-8): a field with a character
// the store cannot hold is refused with a message, line breaks become CR LF.
SaveOutcome SaveRecordUtf8(const PhonebookRecord& utf8, EditMode mode, std::string_view previousName,
                           const std::string& storePath, UserInterface& ui);

// Dialog texts (UTF-8) to store bytes (GBK). false with badField set when a
// field holds a character without a GBK form; nothing is shown.
bool RecordFromUtf8(const PhonebookRecord& utf8, PhonebookRecord& gbk, int* badField = nullptr);
PhonebookRecord RecordToUtf8(const PhonebookRecord& gbk);

// Removes the records of the named people (in the given order) from text and
// writes it to storePath. false when the write failed (message shown).
bool DeleteRecords(const std::vector<std::string>& names, std::string text, const std::string& storePath,
                   UserInterface& ui);

}  // namespace quirel
