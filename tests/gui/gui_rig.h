// The program started on a virtual reader in temporary folders, with every
// message box and modal dialog answered from a script instead of a person.
#pragma once

#include <stdlib.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_units.h"
#include "app/main_dialog.h"
#include "app/program.h"
#include "app/qt_ui.h"
#include "link/link.h"
#include "link/port.h"
#include "reader/firmware.h"
#include "reader/port_factory.h"
#include "reader/virtual_reader.h"
#include "tests/support/strict_reader.h"

namespace quirel::app::testing {

namespace fs = std::filesystem;

inline fs::path MakeTempDir() {
  std::string pattern = (fs::temp_directory_path() / "quirel-gui-XXXXXX").string();
  return fs::path(::mkdtemp(pattern.data()));
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

template <class W>
W* Find(const QWidget* root, int id) {
  return qobject_cast<W*>(FindControl(root, id));
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) { ::setenv(name, value, 1); }
  ~ScopedEnv() { ::unsetenv(name_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
};

// Nothing on the bus: every register reads 0xFF.
class DeadPort final : public Port {
 public:
  std::uint8_t ReadPortByte(std::uint16_t) override { return 0xFF; }
  void WritePortByte(std::uint16_t, std::uint8_t) override {}
};

// A dialog step that closes the dialog as Esc would.
inline void Dismiss(QDialog& dialog) { dialog.reject(); }

class GuiRig {
 public:
  // portOptions: what follows "virtual:DIR" in the port choice, e.g. ",slow=3".
  explicit GuiRig(const std::string& portOptions = {}, bool splash = false) : root_(MakeTempDir()) {
    options.splash = splash;
    options.home = (root_ / "home").string();
    options.systemDir = (root_ / "system").string();
    portChoice = "virtual:" + (root_ / "reader").string() + portOptions + ",strict";
  }
  ~GuiRig() {
    if (opened_.virtualReader != nullptr) quirel::testing::ExpectHandshakesKept(*opened_.virtualReader);
    program.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  GuiRig(const GuiRig&) = delete;
  GuiRig& operator=(const GuiRig&) = delete;

  // Starts the program; deadPort puts a port without a reader in its place.
  bool Start(bool deadPort = false) {
    program = std::make_unique<Program>(options);
    QtUserInterface& ui = program->ui();
    ui.boxHook = [this](const BoxRecord& box) {
      if (onBox) onBox(box);
      if (box.buttons == Buttons::Ok) return Answer::Ok;
      if (box.buttons == Buttons::OkCancel && (answers.empty() || answers.front() != Answer::Cancel)) return Answer::Ok;
      if (answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << box.text;
        return Answer::No;
      }
      const Answer a = answers.front();
      answers.pop_front();
      return a;
    };
    ui.dialogRunner = [this](QDialog& dialog) {
      dialogTitles.push_back(dialog.windowTitle().toStdString());
      if (dialogSteps.empty()) {
        ADD_FAILURE() << "unscripted dialog: " << dialog.windowTitle().toStdString();
        return static_cast<int>(QDialog::Rejected);
      }
      auto step = std::move(dialogSteps.front());
      dialogSteps.pop_front();
      step(dialog);
      return dialog.result();
    };
    ui.folderPicker = [this](QWidget*, const QString& title, const QString&) {
      pickerTitles.push_back(title.toStdString());
      return pickedFolder;
    };
    if (deadPort) {
      program->UsePort(dead_, clock);
    } else {
      std::string error;
      const Environment env = Environment::Resolve(options.home, options.systemDir);
      opened_ = reader::OpenPort(portChoice, env, error);
      if (opened_.port == nullptr || opened_.virtualReader == nullptr) return false;
      program->UsePort(*opened_.port, clock);
    }
    std::string error;
    return program->Start(error);
  }

  CMyFileDialog& dialog() { return *program->dialog(); }
  QtUserInterface& ui() { return program->ui(); }
  reader::VirtualReader& reader() { return *opened_.virtualReader; }
  fs::path Books() { return reader().firmware()->Books(); }
  fs::path SystemDir() const { return root_ / "system"; }
  fs::path root() const { return root_; }
  QPushButton* Button(int id) { return Find<QPushButton>(&dialog(), id); }

  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const BoxRecord& box : program->ui().boxes) out.push_back(box.text);
    return out;
  }

  // Puts the reader's three system files into the system directory.
  void WriteSystemFiles(std::size_t fontBytes) {
    std::string font(fontBytes, '\0');
    for (std::size_t i = 0; i < font.size(); ++i) font[i] = static_cast<char>(i * 7 + 3);
    WriteFile(SystemDir() / "chnstd1j40.bin", font);
    WriteFile(SystemDir() / "chnstd1f40.bin", font);
    WriteFile(SystemDir() / "ebbmp40.bin", std::string(8192, '\x5A'));
  }

  StartOptions options;
  std::string portChoice;
  VirtualClock clock;
  std::unique_ptr<Program> program;

  // Script.
  // A question or dialog that the test did not script fails the test.
  std::deque<Answer> answers;                             // Yes/No questions, one each
  std::deque<std::function<void(QDialog&)>> dialogSteps;  // one per dialog run
  QString pickedFolder;
  std::function<void(const BoxRecord&)> onBox;

  // Record.
  std::vector<std::string> dialogTitles;
  std::vector<std::string> pickerTitles;

 private:
  fs::path root_;
  DeadPort dead_;
  reader::OpenedPort opened_;
};

}  // namespace quirel::app::testing
