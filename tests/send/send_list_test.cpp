#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quirel::send
