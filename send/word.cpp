#include "send/word.h"

namespace quirel::send {
namespace {

class DefaultWordProcessor final : public WordProcessor {
 public:
  explicit DefaultWordProcessor(const Environment& env) : env_(env) {}
  bool Installed() override { return convert::WordInstalled(); }
  convert::ConvertResult ToText(convert::Context& ctx, const std::string& documentPath) override {
    return convert::WordToText(ctx, documentPath);
  }
  bool OpenInstance() override {
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

 private:
  Environment env_;
  std::unique_ptr<convert::WordInstance> instance_;
};

}  // namespace

std::unique_ptr<WordProcessor> MakeDefaultWordProcessor(const Environment& env) {
  return std::make_unique<DefaultWordProcessor>(env);
}

}  // namespace quirel::send
