// The reader's firmware: watches the bytes it takes for a link opening (the
// probe bytes 0 to 20) followed by a burst of ten equal command bytes, and
// hands the bytes that follow to the handler of that command.
//
// Storage layout below the reader's directory:
//   books/       the reader's e-book files and folders (names in UTF-8)
//   phonebook/   index.bin, query.bin, data.bin: the phonebook frames it keeps
//   system/      chnstd1j40.bin, chnstd1f40.bin, ebbmp40.bin as last downloaded
//   cursor       one line: the item at the cursor, relative to books/
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quirel::reader {

class VirtualReader;
class Firmware;

// One command in progress. Bytes after the burst arrive through OnByte.
class CommandHandler {
 public:
  virtual ~CommandHandler() = default;
  // Called right after the burst. Returns false when the command is already
  // complete (a command without payload).
  virtual bool Start() { return true; }
  // Returns false once the command is complete.
  virtual bool OnByte(std::uint8_t b) = 0;
  // A new link opening and command arrived before the command completed
  // (an interrupted transfer): drop what is incomplete.
  virtual void Abort() {}
  // The PC has taken every byte this command queued for it.
  virtual void OnGiven() {}
};

using HandlerFactory = std::function<std::unique_ptr<CommandHandler>(Firmware&)>;

class Firmware {
 public:
  explicit Firmware(std::filesystem::path root);

  void Attach(VirtualReader& reader) { reader_ = &reader; }
  VirtualReader& reader() { return *reader_; }

  // Directories of the storage (created on first use).
  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path Books() const { return root_ / "books"; }
  std::filesystem::path PhonebookDir() const { return root_ / "phonebook"; }
  std::filesystem::path SystemDir() const { return root_ / "system"; }
  std::filesystem::path CursorFile() const { return root_ / "cursor"; }

  // The command codes this firmware understands; each feature registers its
  // own (reader/register.cpp lists them all).
  void Register(std::uint8_t code, HandlerFactory factory) { factories_[code] = std::move(factory); }

  void OnByte(std::uint8_t b);
  void OnGiven();

  // Commands seen, oldest first, for tests and the CLI.
  const std::vector<std::uint8_t>& Commands() const { return commands_; }
  bool Busy() const { return handler_ != nullptr; }

 private:
  void StartCommand(std::uint8_t code);

  std::filesystem::path root_;
  VirtualReader* reader_ = nullptr;
  std::map<std::uint8_t, HandlerFactory> factories_;
  std::unique_ptr<CommandHandler> handler_;
  std::vector<std::uint8_t> commands_;

  int probeRun_ = 0;     // length of the run 0, 1, 2, ... taken so far
  bool opened_ = false;  // the 21 probe bytes have been seen
  std::uint8_t burstByte_ = 0;
  int burstCount_ = 0;
};

// A firmware with every command of the reader registered.
std::unique_ptr<Firmware> MakeFirmware(const std::filesystem::path& root);

}  // namespace quirel::reader
