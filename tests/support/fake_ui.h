// A scripted user interface for tests: records every message box exactly
// (text, caption, icon, buttons), answers from a script, and keeps the state
// of the progress windows so that tests can look at bars and labels. A
// question the test did not script fails the test: a default answer would
// let an unexpected question pass unnoticed.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/progress_bar.h"
#include "common/ui.h"

namespace quirel::testing {

// An answer the test gives in advance, the same every time it is asked.
template <class T>
class Scripted {
 public:
  Scripted& operator=(T value) {
    value_ = std::move(value);
    return *this;
  }
  // The scripted answer; a test failure naming the question when there is none.
  T Take(std::string_view question, T fallback) const {
    if (value_) return *value_;
    ADD_FAILURE() << "unscripted question: " << question;
    return fallback;
  }

 private:
  std::optional<T> value_;
};

struct ShownMessage {
  std::string text;
  std::string caption;
  Icon icon;
  Buttons buttons;
};

// The bar as the window would show it, and how often it was stepped.
struct BarState : BarModel {
  int steps = 0;
};

class FakeProgress final : public ProgressWindow {
 public:
  void Show() override {
    visible = true;
    ++shows;
  }
  void Hide() override {
    visible = false;
    ++hides;
  }
  void SetLabel(std::string_view text) override {
    label = std::string(text);
    labels.push_back(label);
  }
  void SetRange(Bar bar, int low, int high) override { bars[bar].SetRange(low, high); }
  void SetStep(Bar bar, int step) override { bars[bar].step = step; }
  void SetPos(Bar bar, int pos) override { bars[bar].SetPos(pos); }
  void StepIt(Bar bar) override {
    ++bars[bar].steps;
    bars[bar].StepIt();
  }
  bool InterruptRequested() const override { return interrupt; }
  void ClearInterrupt() override { interrupt = false; }

  bool visible = false;
  int shows = 0, hides = 0;
  bool interrupt = false;
  std::string label;
  std::vector<std::string> labels;
  std::map<Bar, BarState> bars;
};

class FakeUi final : public UserInterface {
 public:
  Answer ShowMessage(std::string_view text, std::string_view caption, Icon icon, Buttons buttons) override {
    messages.push_back({std::string(text), std::string(caption), icon, buttons});
    if (onMessage) onMessage(messages.back());
    if (buttons == Buttons::OkCancel) {
      // Ok unless the test scripted a Cancel.
      if (answers.empty() || answers.front() != Answer::Cancel) return Answer::Ok;
      answers.pop_front();
      return Answer::Cancel;
    }
    if (buttons == Buttons::YesNo) {
      if (answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << text;
        return Answer::No;
      }
      const Answer a = answers.front();
      answers.pop_front();
      return a;
    }
    return Answer::Ok;
  }
  void Diagnostic(std::string_view line) override { diagnostics.emplace_back(line); }
  void PumpMessage() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }
  void EnableWindow(Window window, bool enabled) override {
    enabled_[window] = enabled;
    enableLog.push_back({window, enabled});
  }
  void RedrawWindow(Window) override { ++redraws; }
  ProgressWindow& NewProgress(ProgressKind kind) override {
    auto& slot = progress_[kind];
    slot = std::make_unique<FakeProgress>();
    ++created[kind];
    return *slot;
  }
  ProgressWindow* Progress(ProgressKind kind) override {
    auto it = progress_.find(kind);
    return it == progress_.end() ? nullptr : it->second.get();
  }
  FakeProgress* Fake(ProgressKind kind) { return static_cast<FakeProgress*>(Progress(kind)); }

  std::optional<int> AskSendFormat(int current) override {
    askedSendFormat.push_back(current);
    return sendFormat.Take("send format", std::nullopt);
  }
  std::optional<int> AskClearMode() override { return clearMode.Take("clear mode", std::nullopt); }
  std::optional<ReceiveOptions> AskReceiveOptions() override {
    return receiveOptions.Take("receive options", std::nullopt);
  }
  DuplicateChoice AskDuplicate(std::string_view name) override {
    duplicateNames.emplace_back(name);
    if (duplicateAnswers.empty()) {
      ADD_FAILURE() << "unscripted question: duplicate name " << name;
      return DuplicateChoice::kClosed;
    }
    const int a = duplicateAnswers.front();
    duplicateAnswers.pop_front();
    return static_cast<DuplicateChoice>(a);
  }
  ReplaceChoice AskReplaceFile(std::string_view path) override {
    replaceAsked.emplace_back(path);
    if (replaceAnswers.empty()) {
      ADD_FAILURE() << "unscripted question: replace " << path;
      return ReplaceChoice::Keep;
    }
    const ReplaceChoice a = replaceAnswers.front();
    replaceAnswers.pop_front();
    return a;
  }
  bool ExpandToPath(std::string_view path) override {
    expandedPaths.emplace_back(path);
    return true;
  }

  bool Enabled(Window w) const {
    auto it = enabled_.find(w);
    return it == enabled_.end() ? true : it->second;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
  }

  // Script.
  std::deque<Answer> answers;  // for Yes/No questions, one each
  Scripted<std::optional<int>> sendFormat;
  Scripted<std::optional<int>> clearMode;
  Scripted<std::optional<ReceiveOptions>> receiveOptions;
  std::deque<int> duplicateAnswers;          // one per duplicate name, by the prompt's numbers
  std::deque<ReplaceChoice> replaceAnswers;  // one per local file asked about
  std::function<void(long long)> onPump;     // called with the running pump count
  std::function<void(const ShownMessage&)> onMessage;

  // Record.
  std::vector<ShownMessage> messages;
  std::vector<std::string> diagnostics;
  std::vector<std::pair<Window, bool>> enableLog;
  std::vector<int> askedSendFormat;
  std::vector<std::string> duplicateNames;
  std::vector<std::string> replaceAsked;
  std::vector<std::string> expandedPaths;
  std::map<ProgressKind, int> created;
  long long pumps = 0;
  int redraws = 0;

 private:
  std::map<Window, bool> enabled_;
  std::map<ProgressKind, std::unique_ptr<ProgressWindow>> progress_;
};

}  // namespace quirel::testing
