#include "send/send_list.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "common/ini.h"
#include "common/text.h"

namespace quirel::send {
namespace {

std::string DropTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The list box's order; equal texts (names that differ only in letter case,
// which this platform tells apart) keep a fixed order by their real paths.
bool Before(const SendEntryItem& a, const SendEntryItem& b) {
  if (LessNoCase(a.text, b.text)) return true;
  if (LessNoCase(b.text, a.text)) return false;
  return a.realPath < b.realPath;
}

}  // namespace

std::string SendList::FileEntryText(const std::string& name, const std::string& folder) {
  std::string text = name;
  text += kEntrySeparator;
  text += folder;
  if (text.empty() || text.back() != '/') text += '/';
  return LowerAscii(text);
}

std::string SendList::FolderEntryText(const std::string& folder) { return LowerAscii(" " + folder); }

void SendList::Insert(SendEntryItem item) {
  const auto at = std::upper_bound(items_.begin(), items_.end(), item, Before);
  items_.insert(at, std::move(item));
  Changed();
}

void SendList::AddFile(const std::string& absolutePath) {
  // Only the very same file is refused: a longer entry that merely starts
  // with this one's text (a subfolder's file of the same name) is another file.
  for (const auto& item : items_)
    if (!item.isFolder && item.realPath == absolutePath) return;
  const auto slash = absolutePath.rfind('/');
  const std::string name = slash == std::string::npos ? absolutePath : absolutePath.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? std::string() : absolutePath.substr(0, slash);
  Insert({FileEntryText(name, folder), absolutePath, false});
}

void SendList::AddFolder(const std::string& absolutePath) {
  const std::string folder = DropTrailingSlashes(absolutePath);
  std::erase_if(items_, [&](const SendEntryItem& item) { return item.isFolder && item.realPath == folder; });
  Insert({FolderEntryText(folder), folder, true});
}

void SendList::Remove(std::size_t index) {
  if (index >= items_.size()) return;
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  Changed();
}

bool SendList::Save(const std::string& path) const {
  std::string bytes;
  for (const SendEntryItem& item : items_) {
    bytes += item.isFolder ? 'D' : 'F';
    bytes += item.realPath;
    bytes += '\0';
  }
  return WriteFileAtomically(path, bytes);
}

bool SendList::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::pair<char, std::string>> entries;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = bytes.find('\0', at);
    // Every record has its kind, an absolute path and its end.
    if (end == std::string::npos || end - at < 3 || (bytes[at] != 'F' && bytes[at] != 'D') || bytes[at + 1] != '/')
      return false;
    entries.emplace_back(bytes[at], bytes.substr(at + 1, end - at - 1));
    at = end + 1;
  }
  const std::function<void()> keep = std::move(changed);
  changed = nullptr;  // one change at the end, not one per entry
  for (const auto& [kind, real] : entries) kind == 'D' ? AddFolder(real) : AddFile(real);
  changed = keep;
  if (!entries.empty()) Changed();
  return true;
}

}  // namespace quirel::send
