// A folder tree sent in the convert format and received back from the
// virtual reader gives, file for file, what the conversion itself gives.
#include "common/text.h"
#include "link/receive.h"
#include "resources/messages.h"
#include "tests/send/send_rig.h"

namespace quirel::send::test {
namespace {

std::string Converted(Rig& rig, const fs::path& source) {
  std::string sendPath;
  const auto kind = convert::ClassifyName(LowerAscii(source.filename().string()));
  EXPECT_EQ(convert::ConvertForSend(rig.ctx, source.string(), kind, sendPath), convert::ConvertResult::kDone) << source;
  return ReadFile(sendPath);
}

TEST(SendEndToEnd, ReceivedBackEqualsTheConversion) {
  Rig rig;
  const fs::path top = rig.Local("Tree");
  // 中文段落。 in GB, two lines.
  WriteFile(top / "gb.txt", "\xD6\xD0\xCE\xC4\xB6\xCE\xC2\xE4\xA1\xA3\r\nsecond line\r\n");
  // 一乙丁七乃九了二人儿 in Big5: second bytes in 0x40..0x7E.
  WriteFile(top / "big5.txt", "\xA4\x40\xA4\x41\xA4\x42\xA4\x43\xA4\x44\xA4\x45\xA4\x46\xA4\x47\xA4\x48\xA4\x49\r\n");
  WriteFile(top / "Sub" / "utf8.txt", "UTF-8 \xE6\x96\x87\xE6\x9C\xAC line\nnext\n");
  WriteFile(top / "Sub" / "page.html",
            "<html><head><title>t</title></head><body><p>\xCD\xF8\xD2\xB3 page</p><br>end</body></html>");
  WriteFile(top / "Sub" / "Deep" / "story.txt", std::string(300, 'w') + "\r\n");
  SendList list;
  list.AddFolder(top.string());
  rig.ui.sendFormat = kConvertFormat;
  ASSERT_EQ(rig.job->Run(list), LinkResult::kDone);
  ASSERT_EQ(rig.ui.Texts().back(), " 5个文件传送完成！");

  const fs::path target = rig.tmp.path() / "received";
  fs::create_directories(target);
  rig.reader.ClearReceived();
  ASSERT_EQ(ReceiveFiles(rig.link, kReceiveEverything, target.string()), LinkResult::kDone);
  EXPECT_EQ(rig.ui.Texts().back(), msg::kAllReceived);

  // The chosen folder arrives lower-cased, the folders below it as they are.
  const fs::path back = target / "tree";
  EXPECT_EQ(ReadFile(back / "gb.ebk"), Converted(rig, top / "gb.txt"));
  EXPECT_EQ(ReadFile(back / "big5.ebk"), Converted(rig, top / "big5.txt"));
  EXPECT_EQ(ReadFile(back / "Sub" / "utf8.ebk"), Converted(rig, top / "Sub" / "utf8.txt"));
  EXPECT_EQ(ReadFile(back / "Sub" / "page.ebk"), Converted(rig, top / "Sub" / "page.html"));
  EXPECT_EQ(ReadFile(back / "Sub" / "Deep" / "story.ebk"), Converted(rig, top / "Sub" / "Deep" / "story.txt"));
  // Big5 arrives recoded to GB: 一 is 0xD2 0xBB.
  EXPECT_EQ(ReadFile(back / "big5.ebk").substr(0, 2), "\xD2\xBB");
  EXPECT_FALSE(ReadFile(back / "gb.ebk").empty());
}

}  // namespace
}  // namespace quirel::send::test
