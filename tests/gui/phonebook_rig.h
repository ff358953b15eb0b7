// The program on a virtual reader with a phonebook store written by hand, the
// phonebook window opened over the main dialog, and scripted steps for the
// record, find and duplicate dialogs.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/phonebook_window.h"
#include "common/text.h"
#include "phonebook/store.h"
#include "tests/gui/gui_rig.h"

namespace quirel::app::testing {

// GBK bytes of a UTF-8 literal.
inline std::string Gbk(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToGbk(utf8, out)) << utf8;
  return out;
}

// One store record written out marker by marker: name, then the other ten
// fields in their stored order (missing ones empty).
inline std::string Rec(std::initializer_list<std::string> utf8Fields) {
  std::vector<std::string> fields(utf8Fields);
  fields.resize(11);
  std::string out;
  for (int k = 0; k < 11; ++k) {
    out.push_back(static_cast<char>(0x10 + k));
    out += Gbk(fields[static_cast<std::size_t>(k)]);
  }
  out.push_back('\x1B');
  return out;
}

inline std::string Store(std::initializer_list<std::string> records) {
  std::string out = "\x09\x09";
  for (const auto& r : records) out += r;
  out.push_back('\x1E');
  return out;
}

inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Counts the times the store file is replaced: every write renames a fresh
// file over it.
class StoreWrites {
 public:
  explicit StoreWrites(const fs::path& directory) {
    fd_ = ::inotify_init1(IN_NONBLOCK);
    if (fd_ >= 0) ::inotify_add_watch(fd_, directory.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
  }
  ~StoreWrites() {
    if (fd_ >= 0) ::close(fd_);
  }
  StoreWrites(const StoreWrites&) = delete;
  StoreWrites& operator=(const StoreWrites&) = delete;

  int Count() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t got = fd_ < 0 ? -1 : ::read(fd_, buffer, sizeof buffer);
      if (got <= 0) break;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        const bool moved = (event->mask & IN_MOVED_TO) != 0;
        // A write either renames a new file over the store or writes it in place.
        if (event->len > 0 && std::string(event->name) == "tarnviktelcom.tel" &&
            (moved || (event->mask & IN_CLOSE_WRITE) != 0))
          ++count_;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return count_;
  }

 private:
  int fd_ = -1;
  int count_ = 0;
};

class PhonebookRig : public GuiRig {
 public:
  fs::path Home() const { return root() / "home"; }
  fs::path StorePath() const { return Home() / "tarnviktelcom.tel"; }
  void WriteStore(const std::string& bytes) { WriteFile(StorePath(), bytes); }
  std::string ReadStore() const { return ReadFile(StorePath()); }

  // A phonebook window over the main dialog, opened on the current store.
  std::unique_ptr<PhonebookWindow> Open() {
    // The phonebook command starts an empty store when there is none.
    if (!fs::exists(StorePath())) WriteStore(std::string("\x09\x09\x1E", 3));
    auto window =
        std::make_unique<PhonebookWindow>(*program->link(), ui(), PhonebookFiles::For(program->env()), &dialog());
    EXPECT_TRUE(window->Initialise());
    return window;
  }

  // The boxes shown so far, text only, and then forgotten.
  std::vector<std::string> TakeTexts() {
    std::vector<std::string> texts = Texts();
    ui().boxes.clear();
    return texts;
  }
};

// Selects exactly the given rows; the last one carries the focus.
inline void SelectRows(QListWidget* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (int row : rows) {
    list->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    list->item(row)->setSelected(true);
  }
}

inline std::vector<int> SelectedRows(QListWidget* list) {
  std::vector<int> rows;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->isSelected()) rows.push_back(i);
  return rows;
}

// A record dialog step: types the fields (UTF-8, name first) and presses
// "存贮"; extra steps may follow in the same dialog run.
inline std::function<void(QDialog&)> TypeRecord(const std::vector<QString>& fields, bool pressBack = false) {
  return [fields, pressBack](QDialog& dialog) {
    for (int k = 0; k < 11; ++k) {
      const QString text =
          static_cast<std::size_t>(k) < fields.size() ? fields[static_cast<std::size_t>(k)] : QString();
      if (k == 10) {
        auto* note = Find<QPlainTextEdit>(&dialog, 1018);
        ASSERT_NE(note, nullptr);
        note->setPlainText(text);
      } else {
        auto* edit = Find<QLineEdit>(&dialog, 1008 + k);
        ASSERT_NE(edit, nullptr) << k;
        edit->setText(text);
      }
    }
    Find<QPushButton>(&dialog, 1)->click();
    if (pressBack && dialog.result() != QDialog::Accepted) Find<QPushButton>(&dialog, 1087)->click();
  };
}

// A find dialog step: types text and presses "确认".
inline std::function<void(QDialog&)> TypeFind(const QString& text) {
  return [text](QDialog& dialog) {
    auto* edit = Find<QLineEdit>(&dialog, 1010);
    ASSERT_NE(edit, nullptr);
    edit->setText(text);
    Find<QPushButton>(&dialog, 1)->click();
  };
}

// A duplicate prompt step: presses the button with that id (1088 "替换",
// 1089 "跳过", 1090 "全部替换", 1091 "取消"); 0 closes it with Esc.
inline std::function<void(QDialog&)> Choose(int id) {
  return [id](QDialog& dialog) {
    if (id == 0) {
      dialog.reject();
      return;
    }
    auto* button = Find<QPushButton>(&dialog, id);
    ASSERT_NE(button, nullptr);
    button->click();
  };
}

}  // namespace quirel::app::testing
