// The word processor as the send job sees it: is it there, convert one
// document, or convert several in one run. The default goes through the
// conversion library; tests put in their own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/environment.h"
#include "convert/convert.h"

namespace quirel::send {

class WordProcessor {
 public:
  virtual ~WordProcessor() = default;
  virtual bool Installed() = 0;
  // Writes the text at convert::TextPathFor(documentPath). 0 done, 1 failed
  // (a message shown).
  [[nodiscard]] virtual convert::ConvertResult ToText(convert::Context& ctx, const std::string& documentPath) = 0;
  // A run that converts several documents.
  virtual bool OpenInstance() = 0;
  virtual bool ConvertInInstance(const std::string& documentPath) = 0;
  virtual void CloseInstance() = 0;
  // Converts the word-processor documents of a whole job in one run before
  // any of them is sent; ToText and the instance then have nothing to run
  // for a document whose text is prepared. Preparing nothing is allowed.
  virtual void Prepare(const std::vector<std::string>& /*documents*/) {}
  // The text (UTF-8) Prepare made of a document, if it made one.
  virtual std::optional<std::string> PreparedText(const std::string& /*document*/) { return std::nullopt; }
};

std::unique_ptr<WordProcessor> MakeDefaultWordProcessor(const Environment& env);

}  // namespace quirel::send
