#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "send/send_list.h"

namespace quirel::send {
namespace {

std::vector<std::string> Texts(const SendList& list) {
  std::vector<std::string> texts;
  for (const auto& item : list.Items()) texts.push_back(item.text);
  return texts;
}

TEST(SendList, EntriesHaveTheirTwoShapesLowerCased) {
  SendList list;
  list.AddFile("/Home/U/Books/ReadMe.TXT");
  list.AddFolder("/Home/U/Novels/");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{" /home/u/novels", "readme.txt--------/home/u/books/"}));
  // The real paths keep their case.
  EXPECT_EQ(list.Items()[0].realPath, "/Home/U/Novels");
  EXPECT_TRUE(list.Items()[0].isFolder);
  EXPECT_EQ(list.Items()[1].realPath, "/Home/U/Books/ReadMe.TXT");
  EXPECT_FALSE(list.Items()[1].isFolder);
}

TEST(SendList, KeptInCaseInsensitiveOrder) {
  SendList list;
  list.AddFile("/x/b.txt");
  list.AddFile("/x/A.txt");
  list.AddFolder("/z");
  list.AddFile("/x/C.txt");
  list.AddFolder("/a");
  EXPECT_EQ(Texts(list),
            (std::vector<std::string>{" /a", " /z", "a.txt--------/x/", "b.txt--------/x/", "c.txt--------/x/"}));
}

TEST(SendList, SameFileOrFolderOnlyOnce) {
  SendList list;
  list.AddFile("/x/a.txt");
  list.AddFile("/x/a.txt");
  list.AddFolder("/x");
  list.AddFolder("/x/");
  EXPECT_EQ(list.size(), 2u);
  // A file whose entry text is the start of another one's is its own file.
  list.AddFile("/x/y/a.txt");
  list.AddFile("/x/a.txt");
  EXPECT_EQ(list.size(), 3u);
  // Names that differ only in case are different files here.
  list.AddFile("/x/A.txt");
  EXPECT_EQ(list.size(), 4u);
}

TEST(SendList, FileInTheRootFolder) {
  SendList list;
  list.AddFile("/a.txt");
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"a.txt--------/"}));
}

TEST(SendList, RemoveAndClear) {
  SendList list;
  list.AddFile("/x/a.txt");
  list.AddFile("/x/b.txt");
  list.Remove(0);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"b.txt--------/x/"}));
  list.Remove(5);
  EXPECT_EQ(list.size(), 1u);
  list.Clear();
  EXPECT_TRUE(list.empty());
}

TEST(SendList, KeptOnDiskAcrossRunsAndEveryChangeIsTold) {
  const std::string path = (std::filesystem::temp_directory_path() / "quirel-sendlist-test").string();
  SendList list;
  int changes = 0;
  list.changed = [&] { ++changes; };
  list.AddFolder("/home/u/小说/");
  list.AddFile("/home/u/a\nb c.TXT");
  list.Remove(5);  // no entry there: no change
  ASSERT_TRUE(list.Save(path));
  EXPECT_EQ(changes, 2);
  SendList restored;
  restored.changed = [&] { ++changes; };
  ASSERT_TRUE(restored.Load(path));
  EXPECT_EQ(changes, 3);  // one for the whole list
  EXPECT_EQ(Texts(restored), Texts(list));
  EXPECT_EQ(restored.Items()[1].realPath, "/home/u/a\nb c.TXT");
  // A file cut short or not written by Save adds nothing.
  for (const std::string& damaged : {std::string("D/home/u/x\0F/home/u/y", 21), std::string("X/a\0", 4)}) {
    std::ofstream(path, std::ios::binary) << damaged;
    SendList fresh;
    EXPECT_FALSE(fresh.Load(path));
    EXPECT_TRUE(fresh.empty());
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace quirel::send
