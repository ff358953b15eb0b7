// The phonebook's exchanges with the reader: send the exchange files as
// framed 8192-byte blocks, receive them back and merge the records into the
// store, and clear the reader's phonebook. Sending uses the link's own
// operations; receiving has its own byte routine on the window's own copy of
// the port addresses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <string_view>

#include "common/ui.h"
#include "link/link.h"
#include "phonebook/list.h"
#include "phonebook/store.h"

namespace quirel {

enum class ExchangeFile { Index, Query, Data };

// How an exchange ended, for front ends that report more than the messages.
enum class PhonebookResult {
  Done,
  Failed,       // a message said why
  Interrupted,  // "中断传送"
  Cancelled,    // No to the question, or "取消" in the merge
  Empty,        // the reader holds no records
};

struct MergeResult {
  std::string store;  // the merged store text
  bool cancelled = false;
  int added = 0, replaced = 0, skipped = 0;
  // Records the store's rules kept out: each name (UTF-8) and the reason.
  std::vector<std::string> refused;
};

class PhonebookExchange {
 public:
  // The list is the phonebook window's: a send follows its order, a receive
  // adds the new names to it.
  PhonebookExchange(Link& link, UserInterface& ui, PhonebookFiles files, PhonebookList& list)
      : link_(link), ui_(ui), files_(std::move(files)), list_(list) {}

  // Runs the port detection again into PhonebookPorts (when the window opens).
  void ProbePorts() { phonebookPorts = DetectPorts(link_.port(), ui_, link_.portProblem); }

  [[nodiscard]] PhonebookResult SendPhonebook();
  [[nodiscard]] PhonebookResult ReceivePhonebook();
  [[nodiscard]] PhonebookResult ClearReaderPhonebook();

  // 1 = sent, 0 = failed or interrupted.
  [[nodiscard]] int SendPhonebookFile(ExchangeFile kind);
  // Index and query: 1 or 0. Data: the number of records received, 0 when
  // failed, interrupted or none.
  [[nodiscard]] int ReceivePhonebookFile(ExchangeFile kind);
  // 0 = byte in phonebookReceivedByte, 1 = failed (message shown).
  [[nodiscard]] int PhonebookReceiveByte();

  // Merges received store records into store text (final 0x1E included),
  // asking about every name both hold. A cancelled merge leaves the list as
  // it was before.
  MergeResult MergeRecords(std::string_view received, std::string store);

  PortAddresses phonebookPorts;            // PhonebookPorts
  std::uint8_t phonebookReceivedByte = 0;  // PhonebookReceivedByte

 private:
  enum class Stop { None, Failed, Interrupted, Empty };

  void BeginProgress();
  void Finish();
  ProgressWindow* progress() { return ui_.Progress(ProgressKind::Phonebook); }
  // Pumps one message and honours the interrupt button.
  bool PumpAndCheckInterrupt();
  bool SendFrameBody(std::string_view bytes, std::size_t offset, std::string_view failure);
  [[nodiscard]] int ReceiveFrameFile(ExchangeFile kind);
  [[nodiscard]] int ReceiveDataFile();
  void FrameError(std::string_view base, char step);
  // Skips bytes up to a frame's 0xA5; false (message shown) when the reader
  // fails or never starts a frame.
  bool AwaitFrameMark(std::string_view base);
  PhonebookResult Ended();

  Link& link_;
  UserInterface& ui_;
  PhonebookFiles files_;
  PhonebookList& list_;
  Stop stop_ = Stop::None;
};

}  // namespace quirel
