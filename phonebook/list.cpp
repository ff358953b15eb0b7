#include "phonebook/list.h"

#include <algorithm>

#include "common/text.h"

namespace quirel {

bool PhonebookLess(std::string_view a, std::string_view b) { return LowerMultibyte(a) < LowerMultibyte(b); }

bool PhonebookStartsWith(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  // Lower-case the whole text so that a double-byte character cut by the
  // prefix's length is still seen as one.
  return LowerMultibyte(text).compare(0, prefix.size(), LowerMultibyte(prefix)) == 0;
}

void PhonebookList::Load(const std::vector<std::string>& names) {
  *this = PhonebookList();
  for (const auto& name : names) {
    const int len = static_cast<int>(name.size());
    if (len > nameColumnWidth_) nameColumnWidth_ = len;
    columnWidth_ = nameColumnWidth_ <= 14 ? 9 * nameColumnWidth_ : 113;
    Insert(" " + name);
  }
  current_ = entries_.empty() ? std::nullopt : std::optional<std::size_t>(0);
}

std::size_t PhonebookList::Insert(std::string entry) {
  const auto it = std::upper_bound(entries_.begin(), entries_.end(), entry,
                                   [](const std::string& e, const Entry& x) { return PhonebookLess(e, x.text); });
  const auto index = static_cast<std::size_t>(it - entries_.begin());
  entries_.insert(it, Entry{std::move(entry), false});
  if (current_ && *current_ >= index) ++*current_;
  return index;
}

void PhonebookList::WidenFor(int len, int below, int slack) {
  if (len <= nameColumnWidth_) return;
  if (len < below) {
    columnWidth_ = 9 * len - slack;
    nameColumnWidth_ = len;
  } else {
    columnWidth_ = 113;
    nameColumnWidth_ = 14;
  }
}

std::size_t PhonebookList::AddEntry(std::string entry) {
  const int len = static_cast<int>(entry.size());
  const std::size_t index = Insert(std::move(entry));
  WidenFor(len, 15, 4);  // an added entry counts its leading space
  SelectOnly(index);
  return index;
}

std::size_t PhonebookList::MergeName(std::string_view name) {
  const int len = static_cast<int>(name.size());
  WidenFor(len, 14, 1);
  std::string entry(1, ' ');
  entry.append(name);
  return Insert(entry);
}

void PhonebookList::Remove(std::size_t index) {
  if (index >= entries_.size()) return;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
  if (current_) {
    if (*current_ == index) {
      current_ = entries_.empty() ? std::nullopt : std::optional<std::size_t>(std::min(index, entries_.size() - 1));
    } else if (*current_ > index) {
      --*current_;
    }
  }
}

void PhonebookList::Narrow() {
  std::size_t longest = 0;
  for (const auto& e : entries_) longest = std::max(longest, e.text.size());
  const int m = static_cast<int>(longest);
  if (m < 15) {
    // An empty list would give a negative width; keep it at 0 instead.
    columnWidth_ = std::max(0, 9 * m - 4);
    nameColumnWidth_ = m;
  }
}

std::optional<std::size_t> PhonebookList::FindPrefix(std::string_view text) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (PhonebookStartsWith(entries_[i].text, text)) return i;
  return std::nullopt;
}

std::optional<std::size_t> PhonebookList::FindExact(std::string_view entry) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].text == entry) return i;
  return std::nullopt;
}

void PhonebookList::ClearSelection() {
  for (auto& e : entries_) e.selected = false;
}

void PhonebookList::Select(std::size_t index, bool selected) {
  if (index < entries_.size()) entries_[index].selected = selected;
}

void PhonebookList::SelectOnly(std::size_t index) {
  ClearSelection();
  Select(index);
  if (index < entries_.size()) current_ = index;
}

std::vector<std::size_t> PhonebookList::SelectedIndices() const {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].selected) out.push_back(i);
  return out;
}

std::string PhonebookList::Name(std::size_t index) const {
  const std::string& text = entries_[index].text;
  return text.empty() ? std::string() : text.substr(1);
}

std::vector<std::string> PhonebookList::Texts() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const auto& e : entries_) out.push_back(e.text);
  return out;
}

}  // namespace quirel
