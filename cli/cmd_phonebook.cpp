// quirel phonebook ...: the PC's phonebook and its exchanges with the reader.
// Names and fields are given and printed in UTF-8; the store keeps them in GBK.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "common/translate.h"
#include "common/text.h"
#include "phonebook/list.h"
#include "phonebook/store.h"
#include "phonebook/transfer.h"
#include "phonebook/window.h"
#include "resources/messages.h"

namespace quirel::cli {
namespace {

// Option names of the eleven fields, in the record's order.
constexpr const char* kFieldOptions[PhonebookRecord::kFieldCount] = {
    "name", "mobile", "phone", "pager", "address", "company-name", "company-phone", "fax", "web", "email", "note"};

// Answers the duplicate prompt of a receive with one fixed choice and passes
// everything else on.
class DuplicateAnswer final : public UserInterface {
 public:
  DuplicateAnswer(UserInterface& inner, DuplicateChoice choice) : inner_(inner), choice_(choice) {}
  Answer ShowMessage(std::string_view text, std::string_view caption, Icon icon, Buttons buttons) override {
    return inner_.ShowMessage(text, caption, icon, buttons);
  }
  void Diagnostic(std::string_view line) override { inner_.Diagnostic(line); }
  void PumpMessage() override { inner_.PumpMessage(); }
  void EnableWindow(Window window, bool enabled) override { inner_.EnableWindow(window, enabled); }
  void RedrawWindow(Window window) override { inner_.RedrawWindow(window); }
  ProgressWindow& NewProgress(ProgressKind kind) override { return inner_.NewProgress(kind); }
  ProgressWindow* Progress(ProgressKind kind) override { return inner_.Progress(kind); }
  std::optional<int> AskSendFormat(int current) override { return inner_.AskSendFormat(current); }
  std::optional<int> AskClearMode() override { return inner_.AskClearMode(); }
  std::optional<ReceiveOptions> AskReceiveOptions() override { return inner_.AskReceiveOptions(); }
  DuplicateChoice AskDuplicate(std::string_view) override { return choice_; }
  ReplaceChoice AskReplaceFile(std::string_view path) override { return inner_.AskReplaceFile(path); }
  bool ExpandToPath(std::string_view path) override { return inner_.ExpandToPath(path); }

 private:
  UserInterface& inner_;
  DuplicateChoice choice_;
};

int ExitCode(PhonebookResult result) {
  switch (result) {
    case PhonebookResult::Done:
      return kExitDone;
    case PhonebookResult::Interrupted:
    case PhonebookResult::Cancelled:
      return kExitInterrupted;
    default:
      return kExitFailed;
  }
}

// Reads "--field VALUE" / "--field=VALUE" options into fields; other words
// go to rest. Returns an error text, empty when all was understood.
std::string ParseFields(const std::vector<std::string>& args, std::size_t from,
                        std::optional<std::string> (&fields)[PhonebookRecord::kFieldCount],
                        std::vector<std::string>& rest) {
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.rfind("--", 0) != 0) {
      rest.push_back(word);
      continue;
    }
    const auto eq = word.find('=');
    const std::string option = word.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    int field = -1;
    for (int k = 0; k < PhonebookRecord::kFieldCount; ++k)
      if (option == kFieldOptions[k]) field = k;
    if (field < 0) return Tr("unknown option: %s", {word});
    if (eq != std::string::npos) {
      fields[field] = word.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      fields[field] = args[++i];
    } else {
      return Tr("%s needs a value", {word});
    }
  }
  return {};
}

struct Book {
  PhonebookFiles files;
  PhonebookList list;
};

// What the phonebook command and the window's opening do.
bool OpenBook(Context& context, Book& book) {
  book.files = PhonebookFiles::For(context.env());
  return PreparePhonebookStore(book.files, context.ui()) && LoadPhonebookList(book.files, book.list, context.ui());
}

std::optional<std::size_t> FindListed(Context& context, const Book& book, const std::string& utf8) {
  std::string gbk;
  std::optional<std::size_t> index;
  if (Utf8ToGbk(utf8, gbk)) index = book.list.FindName(gbk);
  if (!index) context.ui().ShowMessage(msg::kNameNotFound, msg::kCaption, Icon::Warning);
  return index;
}

int RunList(Context& context, Book& book) {
  if (context.args.size() != 1) return context.Usage(Tr("list takes no arguments"));
  for (std::size_t i = 0; i < book.list.Size(); ++i) std::cout << GbkToUtf8(book.list.Name(i)) << '\n';
  return kExitDone;
}

int RunShow(Context& context, Book& book) {
  if (context.args.size() != 2) return context.Usage(Tr("show takes one name"));
  const auto index = FindListed(context, book, context.args[1]);
  if (!index) return kExitFailed;
  book.list.SelectOnly(*index);
  const auto start = BeginEdit(book.list, book.files, context.ui());
  if (!start) return kExitFailed;
  const PhonebookRecord record = RecordToUtf8(start->record);
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) {
    const std::string label = kFieldOptions[k];
    std::cout << label << ':' << std::string(14 - label.size(), ' ') << record.Field(k) << '\n';
  }
  return kExitDone;
}

int SaveExit(const SaveOutcome& outcome) {
  if (outcome.saved) return kExitDone;
  return outcome.saveResult == SaveResult::kDeclined ? kExitInterrupted : kExitFailed;
}

int RunAdd(Context& context, Book& book) {
  std::optional<std::string> fields[PhonebookRecord::kFieldCount];
  std::vector<std::string> rest;
  if (std::string error = ParseFields(context.args, 1, fields, rest); !error.empty()) return context.Usage(error);
  if (!rest.empty()) return context.Usage(Tr("unexpected argument: %s", {rest.front()}));
  if (!fields[0]) return context.Usage(Tr("add needs --name"));
  PhonebookRecord record;
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k) record.Field(k) = fields[k].value_or("");
  return SaveExit(SaveRecordUtf8(record, EditMode::Add, "", book.files.store, context.ui()));
}

int RunEdit(Context& context, Book& book) {
  std::optional<std::string> fields[PhonebookRecord::kFieldCount];
  std::vector<std::string> rest;
  if (std::string error = ParseFields(context.args, 1, fields, rest); !error.empty()) return context.Usage(error);
  if (rest.size() != 1) return context.Usage(Tr("edit takes one name"));
  const auto index = FindListed(context, book, rest.front());
  if (!index) return kExitFailed;
  book.list.SelectOnly(*index);
  const auto start = BeginEdit(book.list, book.files, context.ui());
  if (!start) return kExitFailed;
  PhonebookRecord record = RecordToUtf8(start->record);
  for (int k = 0; k < PhonebookRecord::kFieldCount; ++k)
    if (fields[k]) record.Field(k) = *fields[k];
  return SaveExit(SaveRecordUtf8(record, EditMode::Edit, start->previousName, book.files.store, context.ui()));
}

int RunDelete(Context& context, Book& book) {
  if (context.args.size() < 2) return context.Usage(Tr("delete needs at least one name"));
  book.list.ClearSelection();
  for (std::size_t i = 1; i < context.args.size(); ++i) {
    const auto index = FindListed(context, book, context.args[i]);
    if (!index) return kExitFailed;
    book.list.Select(*index);
  }
  switch (DeleteSelected(book.list, book.files, context.ui())) {
    case DeleteResult::kDeleted:
      return kExitDone;
    case DeleteResult::kDeclined:
      return kExitInterrupted;
    case DeleteResult::kFailed:
      break;
  }
  return kExitFailed;
}

int RunExchange(Context& context, Book& book) {
  const std::string& what = context.args[0];
  std::optional<int> choice;
  for (std::size_t i = 1; i < context.args.size(); ++i) {
    const std::string& word = context.args[i];
    std::string value;
    if (what == "receive" && word.rfind("--on-duplicate=", 0) == 0) {
      value = word.substr(15);
    } else if (what == "receive" && word == "--on-duplicate" && i + 1 < context.args.size()) {
      value = context.args[++i];
    } else {
      return context.Usage(Tr("unexpected argument: %s", {word}));
    }
    const char* const names[] = {"ask", "replace", "skip", "replace-all", "cancel"};
    choice.reset();
    for (int c = 0; c < 5; ++c)
      if (value == names[c]) choice = c;
    if (!choice) return context.Usage(Tr("--on-duplicate takes ask, replace, skip, replace-all or cancel"));
    if (*choice == 0) choice.reset();
  }
  std::optional<DuplicateAnswer> fixed;
  // The option names are listed in the order of the prompt's numbers.
  if (choice) fixed.emplace(context.ui(), static_cast<DuplicateChoice>(*choice));
  UserInterface& ui = fixed ? static_cast<UserInterface&>(*fixed) : context.ui();
  PhonebookExchange exchange(context.link(), ui, book.files, book.list);
  exchange.ProbePorts();
  if (what == "send") return ExitCode(exchange.SendPhonebook());
  if (what == "receive") return ExitCode(exchange.ReceivePhonebook());
  return ExitCode(exchange.ClearReaderPhonebook());
}

int RunPhonebook(Context& context) {
  if (context.args.empty()) return context.Usage(Tr("needs a subcommand"));
  const std::string& what = context.args[0];
  int (*run)(Context&, Book&) = nullptr;
  if (what == "list")
    run = RunList;
  else if (what == "show")
    run = RunShow;
  else if (what == "add")
    run = RunAdd;
  else if (what == "edit")
    run = RunEdit;
  else if (what == "delete")
    run = RunDelete;
  else if (what == "send" || what == "receive" || what == "clear-reader")
    run = RunExchange;
  else
    return context.Usage(Tr("unknown subcommand: %s", {what}));
  Book book;
  if (!OpenBook(context, book)) return kExitFailed;
  return run(context, book);
}

}  // namespace

QUIREL_CLI_COMMAND({"phonebook", N_("keep the phonebook; send it to, receive it from or clear it on the reader"),
                    N_("Usage: quirel phonebook list\n"
                       "       quirel phonebook show NAME\n"
                       "       quirel phonebook add --name N [FIELD OPTIONS]\n"
                       "       quirel phonebook edit NAME [FIELD OPTIONS] [--name NEW]\n"
                       "       quirel phonebook delete NAME...\n"
                       "       quirel phonebook send\n"
                       "       quirel phonebook receive [--on-duplicate ask|replace|skip|replace-all|cancel]\n"
                       "       quirel phonebook clear-reader\n\n"
                       "Field options: --mobile M --phone P --pager G --address A --company-name C\n"
                       "--company-phone Q --fax F --web W --email E --note T (a line break in the note\n"
                       "is removed when the record is stored). edit changes only the fields given.\n\n"
                       "The phonebook is the file tarnviktelcom.tel in the program directory (--home);\n"
                       "a damaged one is copied to tarnviktelcom.bak and started afresh. list prints\n"
                       "the names in the order a send transmits them. add and edit ask before\n"
                       "replacing another record of the same name, delete asks before deleting, and\n"
                       "clear-reader before erasing the reader's phonebook: answer on the terminal or\n"
                       "with --yes / --no. receive asks about every name both sides hold unless\n"
                       "--on-duplicate answers for all (--yes replaces, --no keeps the PC's record);\n"
                       "cancel leaves the phonebook as it was, and so does a receive with nobody at a\n"
                       "terminal to answer (exit status 2, with a note saying so).\n"),
                    &RunPhonebook});

}  // namespace quirel::cli
