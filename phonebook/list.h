// The phonebook window's list of names, without any toolkit: entries " " +
// Name (GBK) kept in the list's sorted order, the name column's width, the
// selection and the prefix search. The window mirrors it into its list widget
// after each operation; a send transmits the records in this order.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quirel {

// The list's sort order, the one place it is defined: byte order after
// lower-casing ASCII letters, never touching the second byte of a GBK
// character.
bool PhonebookLess(std::string_view a, std::string_view b);
// True when text begins with prefix in that same case-insensitive sense.
bool PhonebookStartsWith(std::string_view text, std::string_view prefix);

class PhonebookList {
 public:
  struct Entry {
    std::string text;  // " " + Name
    bool selected = false;
  };

  // Window opening (starts the list afresh): one entry per name; widens the column to 9 pixels per
  // byte of the longest name, or 113 pixels once that exceeds 14 bytes.
  void Load(const std::vector<std::string>& names);

  // Inserts an entry at its sorted place (after equal ones); returns its index.
  std::size_t Insert(std::string entry);
  // After the record dialog added a name: inserts it, widens the column for
  // its length (space included), selects only it and makes it current.
  std::size_t AddEntry(std::string entry);
  // A name merged in from the reader: inserts " " + name and widens the
  // column for the name's length.
  std::size_t MergeName(std::string_view name);
  void Remove(std::size_t index);
  // After a delete or an edit: fits the column to the longest entry left,
  // unless that is 15 bytes or more.
  void Narrow();

  // First entry that begins with text, ignoring case.
  std::optional<std::size_t> FindPrefix(std::string_view text) const;
  std::optional<std::size_t> FindExact(std::string_view entry) const;
  std::optional<std::size_t> FindName(std::string_view name) const { return FindExact(" " + std::string(name)); }

  // Selection: several entries may be selected; the current one carries the
  // focus (it is the one edit works on).
  void ClearSelection();
  void Select(std::size_t index, bool selected = true);
  void SelectOnly(std::size_t index);
  void SetCurrent(std::optional<std::size_t> index) { current_ = index; }
  std::optional<std::size_t> Current() const { return current_; }
  std::vector<std::size_t> SelectedIndices() const;  // ascending

  const std::vector<Entry>& Entries() const { return entries_; }
  std::size_t Size() const { return entries_.size(); }
  const std::string& Text(std::size_t index) const { return entries_[index].text; }
  // The entry without its leading space.
  std::string Name(std::size_t index) const;
  std::vector<std::string> Texts() const;

  int NameColumnWidth() const { return nameColumnWidth_; }
  // Pixels; 0 until the first name set it.
  int ColumnWidth() const { return columnWidth_; }

 private:
  // Widens the name column for a name of len bytes: 9 pixels a byte less
  // slack while len is below `below`, else the full 113 pixels.
  void WidenFor(int len, int below, int slack);

  std::vector<Entry> entries_;
  std::optional<std::size_t> current_;
  int nameColumnWidth_ = 0;
  int columnWidth_ = 0;
};

}  // namespace quirel
