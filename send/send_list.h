// The send list: the files and folders the user picked, in the list box's
// case-insensitive order. Each entry keeps the lower-cased text the list
// shows (and that the reader is told) next to the real path it is read from.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quirel::send {

// Between a file's name and its folder in a file entry.
inline constexpr std::string_view kEntrySeparator = "--------";

struct SendEntryItem {
  // Lower-cased: " " + folder for a folder; name + "--------" + folder + "/"
  // for a file.
  std::string text;
  // The path as it is on disk, used to open, list and read.
  std::string realPath;
  bool isFolder = false;
};

class SendList {
 public:
  // Adds a file (folder part + name) or a folder by its absolute path. A path
  // already in the list is not added twice; a folder added again replaces its
  // entry. Trailing slashes of a folder are dropped.
  void AddFile(const std::string& absolutePath);
  void AddFolder(const std::string& absolutePath);

  void Remove(std::size_t index);
  void Clear() {
    items_.clear();
    Changed();
  }

  // Called after every change, so that the list can be kept on disk.
  std::function<void()> changed;

  // The list as a file: one entry per record, its kind ('F' file, 'D'
  // folder) and real path, each record ended by a NUL (a path may hold any
  // other byte). Save writes it safely; Load adds the entries of a file that
  // Save wrote (one that is missing or damaged adds nothing) and reports
  // whether the file was sound.
  bool Save(const std::string& path) const;
  bool Load(const std::string& path);

  const std::vector<SendEntryItem>& Items() const { return items_; }
  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }

  // The two shapes of an entry's text.
  static std::string FileEntryText(const std::string& name, const std::string& folder);
  static std::string FolderEntryText(const std::string& folder);

 private:
  void Insert(SendEntryItem item);
  void Changed() {
    if (changed) changed();
  }

  std::vector<SendEntryItem> items_;
};

}  // namespace quirel::send
