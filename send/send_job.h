// Sending documents to the reader: the whole send list (folders mirrored down
// to six levels, files converted to e-book rows or kept as they are) and the
// transfer of one file with its announcement, progress and interruption.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "link/commands.h"
#include "link/link.h"
#include "send/file_header.h"
#include "send/send_list.h"
#include "send/word.h"

namespace quirel::send {

// Send formats.
inline constexpr int kConvertFormat = 1;
inline constexpr int kKeepFormat = 2;

// Deepest folder level whose files are sent; the chosen folder is level 0.
inline constexpr int kMaxFileLevel = 5;

class SendJob {
 public:
  // ctx carries the row width the conversions use; word defaults to the
  // conversion library's word processor.
  SendJob(Link& link, convert::Context& ctx, std::unique_ptr<WordProcessor> word = nullptr);

  // Sends every entry of the list. Returns 0 when every file went, 1 when
  // some file was not sent, the link was lost or the list was empty, 2 when
  // the user stopped the job or cancelled the format question.
  [[nodiscard]] LinkResult Run(const SendList& list);

  // Mirrors one folder on the reader and sends its files, recursively. dir is
  // opened; dirAsSent is the same folder as the reader is told about it
  // (lower-cased where the send list lower-cased it). 0 go on, 1 failed.
  [[nodiscard]] LinkResult WalkDirectory(int level, const std::string& dir, const std::string& dirAsSent);

  // One file, depth folders below the top of the sent tree. path is the file
  // opened; the names the reader is told come from sourcePath. 0 sent, 1 not.
  [[nodiscard]] LinkResult SendEntry(int depth, const std::string& path);  // converted to e-book rows
  [[nodiscard]] LinkResult SendAsIs(int depth, const std::string& path);   // its own bytes
  [[nodiscard]] LinkResult SendFileBody(int depth, std::vector<NameRecord>& records, const std::string& file);

  // Counts the files below a folder, recursively (what the overall bar and
  // the final report count).
  static int CountFiles(const std::string& dir);

  // Job state, visible to the window code and tests.
  int sentCount = 0;                // SentCount
  int sendFormat = kConvertFormat;  // SendFormat, kept between jobs
  int fileKind = convert::kOther;   // FileKind
  int sendFailed = 0;               // SendFailed
  int userStopped = 0;              // UserStopped
  std::string currentName;          // CurrentName, lower-cased
  std::string sourcePath;           // SourcePath, as the reader is told

  // Every file the list names, in the order the job reaches them, with the
  // name it goes under on the reader and whether it got there.
  struct PlannedFile {
    std::string realPath;   // the file on disk, as the user knows it
    std::string folderKey;  // the reader folder's path records
    bool sendable = false;  // within six levels and with a GBK name
    std::string gbkBase;    // its name on the reader, before the header cuts it
    std::string gbkExtension;
    bool renamed = false;
    bool reached = false;  // its transfer began
    bool arrived = false;
  };
  const std::vector<PlannedFile>& plan() const { return plan_; }

 private:
  // The text of a word-processor document at convert::TextPathFor(workCopy):
  // the one the job's run prepared, else a conversion of its own.
  bool WordText(const std::string& document, const std::string& workCopy, bool inInstance);
  // Lists the job's files and gives a distinct name to each that would meet
  // an earlier one in the same reader folder.
  bool Plan(const std::vector<const SendEntryItem*>& folders, const std::vector<const SendEntryItem*>& files);
  void PlanFolder(int level, const std::string& dir, const std::string& dirAsSent);
  void PlanFile(const std::string& realPath, const std::string& asSent, int depth);
  bool ResolveCollisions();  // false: the user stopped the job at the name-clash notice
  // The planned file now in work (currentReal_ in the folder of records).
  PlannedFile* Planned(const std::vector<NameRecord>& records);

  // Path records from sourcePath; false when a name has no GBK form.
  bool PrepareRecords(int& depth, const std::string& path, std::vector<NameRecord>& records);
  // Interrupt check between blocks: true when the file must end (result 1).
  bool Interrupted();
  [[nodiscard]] LinkResult SendOneEntryFile(const SendEntryItem& item, bool useInstance);
  void EndEarly();

  Link& link_;
  convert::Context& ctx_;
  std::unique_ptr<WordProcessor> word_;
  std::vector<std::filesystem::path> walkChain_;  // folders being walked, against link loops
  std::vector<PlannedFile> plan_;
  std::map<std::string, std::vector<std::size_t>> planIndex_;  // by realPath + folderKey
  std::string currentReal_;                                    // the file in work, on disk
};

}  // namespace quirel::send
