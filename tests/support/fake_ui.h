// A scripted user interface for tests: records every message box exactly
// (text, caption, icon, buttons), answers from a script, and keeps the state
// of the progress windows so that tests can look at bars and labels.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/ui.h"

namespace quirel::testing {

struct ShownMessage {
  std::string text;
  std::string caption;
  Icon icon;
  Buttons buttons;
};

struct BarState {
  int low = 0, high = 100, step = 10, pos = 0, steps = 0;
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
  void SetRange(Bar bar, int low, int high) override {
    auto& b = bars[bar];
    b.low = low;
    b.high = high;
    b.pos = low;
  }
  void SetStep(Bar bar, int step) override { bars[bar].step = step; }
  void SetPos(Bar bar, int pos) override { bars[bar].pos = pos; }
  void StepIt(Bar bar) override {
    auto& b = bars[bar];
    ++b.steps;
    b.pos += b.step;
    if (b.pos > b.high) b.pos = b.low + (b.pos - b.high);  // progress controls wrap
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
    if (buttons == Buttons::YesNo) {
      if (answers.empty()) return Answer::No;
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
    return sendFormat;
  }
  std::optional<int> AskClearMode() override { return clearMode; }
  std::optional<ReceiveOptions> AskReceiveOptions() override { return receiveOptions; }
  int AskDuplicate(std::string_view name) override {
    duplicateNames.emplace_back(name);
    if (duplicateAnswers.empty()) return 0;
    const int a = duplicateAnswers.front();
    duplicateAnswers.pop_front();
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
  std::deque<Answer> answers;  // for Yes/No questions; No when empty
  std::optional<int> sendFormat = 1;
  std::optional<int> clearMode = 0;
  std::optional<ReceiveOptions> receiveOptions;
  std::deque<int> duplicateAnswers;
  std::function<void(int)> onPump;  // called with the running pump count
  std::function<void(const ShownMessage&)> onMessage;

  // Record.
  std::vector<ShownMessage> messages;
  std::vector<std::string> diagnostics;
  std::vector<std::pair<Window, bool>> enableLog;
  std::vector<int> askedSendFormat;
  std::vector<std::string> duplicateNames;
  std::vector<std::string> expandedPaths;
  std::map<ProgressKind, int> created;
  long long pumps = 0;
  int redraws = 0;

 private:
  std::map<Window, bool> enabled_;
  std::map<ProgressKind, std::unique_ptr<ProgressWindow>> progress_;
};

}  // namespace quirel::testing
