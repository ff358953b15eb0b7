// The program's own texts (the command line's, and the notes the core adds
// to a message) in the user's language, through gettext (domain "quirel",
// English as written here when no catalogue answers).
// The reader's fixed messages of resources/messages.h never pass through
// here: they are shown exactly as they are, in every language.
#pragma once

#include <libintl.h>

#include <initializer_list>
#include <string>
#include <string_view>

// Marks a text for the catalogue where it is written; Tr translates it
// where it is shown.
#define N_(text) text

namespace quirel {

inline constexpr const char* kTextDomain = "quirel";

// The translation of text, or text itself. The empty text stays empty
// (gettext would answer it with the catalogue's header).
inline const char* Tr(const char* text) { return *text == '\0' ? text : ::dgettext(kTextDomain, text); }

// The translation of format with each %s replaced by the next word, or
// %1$s, %2$s ... by the word of that number where a language needs
// another order; %% is a percent sign.
inline std::string Tr(const char* format, std::initializer_list<std::string_view> words) {
  const std::string_view text = Tr(format);
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t at = i + 1, word = next;
    if (at + 1 < text.size() && text[at] >= '1' && text[at] <= '9' && text[at + 1] == '$') {
      word = static_cast<std::size_t>(text[at] - '1');
      at += 2;
    }
    if (text[i] == '%' && at < text.size() && text[at] == 's' && word < words.size()) {
      out += words.begin()[word];
      next = word + 1;
      i = at;
    } else if (text[i] == '%' && at == i + 1 && at < text.size() && text[at] == '%') {
      out += '%';
      i = at;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Takes the user's language from the environment, or language when given
// (the window speaks Simplified Chinese whatever the locale), and the
// catalogues from beside the program in programDir (installed or in the
// build tree).
void SetUpTranslation(const std::string& programDir, const char* language = nullptr);

}  // namespace quirel
