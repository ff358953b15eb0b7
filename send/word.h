// The word processor as the send job sees it: is it there, convert one
// document, or convert several in one run. The default goes through the
// conversion library; tests put in their own.
#pragma once

#include <memory>
#include <string>

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
};

std::unique_ptr<WordProcessor> MakeDefaultWordProcessor(const Environment& env);

}  // namespace quirel::send
