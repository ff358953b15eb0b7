#include "send/word.h"

#include <map>

namespace quirel::send {
namespace {

class DefaultWordProcessor final : public WordProcessor {
 public:
  explicit DefaultWordProcessor(const Environment& env) : env_(env) {}
  // After a job's one run, whether the program ran answers without another.
  bool Installed() override { return prepared_ ? ran_ : convert::WordInstalled(); }
  convert::ConvertResult ToText(convert::Context& ctx, const std::string& documentPath) override {
    return convert::WordToText(ctx, documentPath);
  }
  bool OpenInstance() override {
    if (prepared_) return ran_;
    instance_ = std::make_unique<convert::WordInstance>(env_);
    if (instance_->Open()) return true;
    instance_.reset();
    return false;
  }
  bool ConvertInInstance(const std::string& documentPath) override {
    return instance_ != nullptr && instance_->Convert(documentPath);
  }
  void CloseInstance() override {
    if (instance_) instance_->Close();
    instance_.reset();
  }
  void Prepare(const std::vector<std::string>& documents) override {
    texts_.clear();
    prepared_ = !documents.empty();
    if (!prepared_) return;
    const auto texts = convert::WordTextsInOneRun(env_, documents, ran_);
    for (std::size_t k = 0; k < documents.size(); ++k)
      if (texts[k]) texts_[documents[k]] = *texts[k];
  }
  std::optional<std::string> PreparedText(const std::string& document) override {
    const auto it = texts_.find(document);
    if (it == texts_.end()) return std::nullopt;
    return it->second;
  }

 private:
  Environment env_;
  std::unique_ptr<convert::WordInstance> instance_;
  bool prepared_ = false;  // a job's documents went through one run
  bool ran_ = false;       // and the program ran
  std::map<std::string, std::string> texts_;
};

}  // namespace

std::unique_ptr<WordProcessor> MakeDefaultWordProcessor(const Environment& env) {
  return std::make_unique<DefaultWordProcessor>(env);
}

}  // namespace quirel::send
