// The virtual reader's side of a file transfer: where it stores what it is
// sent, and what it refuses.
#include "reader/storage.h"
#include "tests/send/send_rig.h"

namespace quirel::send::test {
namespace {

using B = std::vector<std::uint8_t>;

B Record(const std::string& gbk) {
  B r(17, 0);
  std::copy(gbk.begin(), gbk.end(), r.begin());
  return r;
}

B Header(const std::string& name, const std::string& extension, std::uint32_t length) {
  B h(21, 0);
  std::copy(name.begin(), name.end(), h.begin());
  std::copy(extension.begin(), extension.end(), h.begin() + 14);
  h[17] = static_cast<std::uint8_t>(length >> 16);
  h[18] = static_cast<std::uint8_t>(length >> 8);
  h[19] = static_cast<std::uint8_t>(length);
  std::uint8_t sum = 0;
  for (int i = 0; i < 20; ++i) sum = static_cast<std::uint8_t>(sum + h[i]);
  h[20] = sum;
  return h;
}

// Sends one raw announcement and its data, then the end burst.
void SendRaw(Rig& rig, const std::vector<B>& records, const B& header, const std::string& data) {
  ASSERT_EQ(rig.link.OpenLink(), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendBurst(0x7E), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendByte(static_cast<std::uint8_t>(records.size())), LinkResult::kDone);
  for (const B& r : records)
    for (std::uint8_t b : r) ASSERT_EQ(rig.link.SendByte(b), LinkResult::kDone);
  for (std::uint8_t b : header) ASSERT_EQ(rig.link.SendByte(b), LinkResult::kDone);
  for (char c : data) ASSERT_EQ(rig.link.SendByte(static_cast<std::uint8_t>(c)), LinkResult::kDone);
  ASSERT_EQ(rig.link.OpenLink(), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendBurst(0x4E), LinkResult::kDone);
}

TEST(ReaderFiles, DeviceCodesBecomeReadableNamesOnDisk) {
  Rig rig;
  // 進 as the reader's own code in a folder and in the file name.
  SendRaw(rig, {Record("\xA9\xFA")}, Header("\xA9\xFB\xD6\xD0", "txt", 2), "ok");
  EXPECT_EQ(ReadFile(rig.Books() / "進" / "迴中.txt"), "ok");
}

TEST(ReaderFiles, HostileNamesStayInsideTheStorage) {
  Rig rig;
  SendRaw(rig, {Record(".."), Record("a/b")}, Header("../x", "t/t", 1), "1");
  EXPECT_EQ(ReadFile(rig.Books() / "_" / "a_b" / ".._x.t_t"), "1");
  // No name at all.
  SendRaw(rig, {Record("")}, Header("", "", 1), "2");
  EXPECT_EQ(ReadFile(rig.Books() / "_" / "_"), "2");
  EXPECT_FALSE(fs::exists(rig.tmp.path() / "reader" / "x.t_t"));
}

TEST(ReaderFiles, WrongHeaderSumOrTooDeepIsNotStored) {
  Rig rig;
  B header = Header("bad", "txt", 1);
  header[20] ^= 1;
  SendRaw(rig, {}, header, "x");
  EXPECT_FALSE(fs::exists(rig.Books() / "bad.txt"));
  std::vector<B> seven(7, Record("d"));
  SendRaw(rig, seven, Header("deep", "txt", 1), "x");
  EXPECT_FALSE(fs::exists(rig.Books() / "d"));
  // Both were noticed.
  EXPECT_EQ(reader::ReadEvents(rig.tmp.path() / "reader").size(), 2u);
  // The reader is still in step afterwards.
  SendRaw(rig, {}, Header("good", "txt", 1), "g");
  EXPECT_EQ(ReadFile(rig.Books() / "good.txt"), "g");
}

TEST(ReaderFiles, FileCutShortIsNotKept) {
  Rig rig;
  ASSERT_EQ(rig.link.OpenLink(), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendBurst(0x7E), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendByte(0), LinkResult::kDone);
  for (std::uint8_t b : Header("cut", "txt", 100)) ASSERT_EQ(rig.link.SendByte(b), LinkResult::kDone);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(rig.link.SendByte('c'), LinkResult::kDone);
  ASSERT_EQ(rig.link.OpenLink(), LinkResult::kDone);
  ASSERT_EQ(rig.link.SendBurst(0x4E), LinkResult::kDone);
  EXPECT_FALSE(fs::exists(rig.Books() / "cut.txt"));
}

}  // namespace
}  // namespace quirel::send::test
