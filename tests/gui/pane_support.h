// Helpers for the folder tree, file pane, send and preview tests: a folder
// of documents in the rig's temporary root, and short ways to pick a folder
// in the tree and files in the file list.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <string>
#include <vector>

#include "app/file_pane.h"
#include "app/folder_tree.h"
#include "common/text.h"
#include "tests/gui/gui_rig.h"

namespace quirel::app::testing {

inline FilePane& Pane(GuiRig& rig) { return *rig.dialog().files(); }
inline FolderTree& Tree(GuiRig& rig) { return *rig.dialog().folders(); }

// The texts of a list widget, top to bottom.
inline std::vector<std::string> Rows(const QListWidget* list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list->count(); ++i) rows.push_back(list->item(i)->text().toStdString());
  return rows;
}

inline std::vector<std::string> SendTexts(GuiRig& rig) {
  std::vector<std::string> texts;
  for (const send::SendEntryItem& item : Pane(rig).sendList().Items()) texts.push_back(item.text);
  return texts;
}

// Chooses a folder through the tree, as a click on its node would.
inline void PickFolder(GuiRig& rig, const fs::path& folder) {
  ASSERT_TRUE(Tree(rig).ExpandToPath(QString::fromStdString(folder.string()))) << folder;
  Tree(rig).treeClicked();
}

// Selects the named files in the file list (and nothing else).
inline void SelectFiles(GuiRig& rig, const std::vector<std::string>& names) {
  QListWidget* list = Pane(rig).fileList();
  list->clearSelection();
  for (const std::string& name : names) {
    const auto found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name;
    found.front()->setSelected(true);
  }
}

// Selects the send-list entry with this text.
inline void SelectEntry(GuiRig& rig, const std::string& text) {
  QListWidget* box = Pane(rig).sendListBox();
  const auto found = box->findItems(QString::fromStdString(text), Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << text;
  box->setCurrentItem(found.front());
}

// The send-list text of a folder and of a file, lower-cased as the list
// shows them.
inline std::string FolderEntry(const fs::path& folder) { return " " + LowerAscii(folder.string()); }
inline std::string FileEntry(const fs::path& file) {
  return LowerAscii(file.filename().string() + "--------" + file.parent_path().string() + "/");
}

}  // namespace quirel::app::testing
