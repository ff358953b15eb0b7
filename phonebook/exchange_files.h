// The reader's form of the phonebook: every field on its own run of 16-byte
// display lines, the runs cut into 8192-byte blocks (.tmp3), an index of the
// records (.idx) and a lookup by the first character of the name (.qry). The
// byte steps work in memory; BuildExchangeFiles writes their results.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ui.h"
#include "phonebook/store.h"

namespace quirel {

inline constexpr std::size_t kExchangeBlock = 8192;  // data block, index and query file
inline constexpr std::size_t kIndexEntries = 1024;   // 8-byte entries in the index
inline constexpr std::size_t kQueryHalf = 4096;      // each table of the query file

// The store's records in list order (entries are " " + Name), each through
// the first 0x1B after its NameKey. An entry without a record in the store is
// left out. false when a record is too long for the reader's record buffer.
bool CollectRecords(std::string_view storeText, const std::vector<std::string>& entries,
                    std::vector<std::string>& records);

// Store records to line layout.
std::string LayoutLines(std::string_view records);

// Cuts the layout into blocks of whole records padded with 0xFF, and builds
// the index. false when a record does not fit one block or the index is full.
bool SplitBlocks(std::string_view layout, std::string& data, std::string& index);

// The two lookup tables. false when a table outgrows its half of the file.
bool BuildQueryFile(std::string_view layout, std::string& query);

// Received line layout back to store records.
std::string UnpackRecords(std::string_view text);

// Everything a send needs, built in memory.
struct ExchangeImage {
  std::string records;  // .tmp1
  std::string layout;   // .tmp2
  std::string data;     // .tmp3
  std::string index;    // .idx
  std::string query;    // .qry
};

// Builds the image; on failure returns the message that names the limit hit.
std::optional<std::string_view> ComposeExchange(std::string_view storeText, const std::vector<std::string>& entries,
                                                ExchangeImage& image);

// Reads the store and composes the image, showing the message of the first
// failure. 1 = the phonebook fits the reader's files, 0 = it does not.
[[nodiscard]] int CheckExchangeCapacity(const PhonebookFiles& files, const std::vector<std::string>& entries,
                                        UserInterface& ui);

// Builds all five files from the store and the list's entries in list order.
// 1 = built, 0 = a step failed (it showed its message).
[[nodiscard]] int BuildExchangeFiles(const PhonebookFiles& files, const std::vector<std::string>& entries,
                                     UserInterface& ui);

}  // namespace quirel
