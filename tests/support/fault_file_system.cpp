#include "fault_file_system.h"

namespace korvane::testing {

namespace {

// Its failures are counted by the users of the file, as a real file's are.
class FaultOutputFile final : public OutputFile {
  public:
    FaultOutputFile(FaultFileSystem& owner, std::filesystem::path shown,
                    std::unique_ptr<OutputFile> real)
        : owner_(owner), shown_(std::move(shown)), real_(std::move(real)) {}

    FsStatus Write(std::span<const std::uint8_t> bytes) override {
        if (const auto* rule = owner_.ShouldFail(FsOperation::Write, shown_)) {
            real_->Write(bytes.first(std::min(rule->partial, bytes.size())));
            return FsStatus::Fail("No space left on device (injected)");
        }
        return real_->Write(bytes);
    }
    FsStatus Adopt(const FileInfo& info) override { return real_->Adopt(info); }
    FsStatus Close(bool durable) override {
        const FsStatus status = real_->Close(durable);
        return owner_.ShouldFail(FsOperation::Close, shown_) != nullptr
                   ? FsStatus::Fail("injected failure")
                   : status;
    }

  private:
    FaultFileSystem& owner_;
    std::filesystem::path shown_;
    std::unique_ptr<OutputFile> real_;
};

}  // namespace

const FaultFileSystem::Rule* FaultFileSystem::ShouldFail(FsOperation operation, const Path& path) {
    for (Rule& rule : rules_) {
        if (rule.operation == operation &&
            path.native().find(rule.path_part) != std::string::npos && ++rule.seen == rule.nth) {
            return &rule;
        }
    }
    return nullptr;
}

CreateResult FaultFileSystem::CreateTemporary(const Path& target) {
    if (Fail(FsOperation::Create, target)) {
        return {kInjected, nullptr, {}};
    }
    CreateResult real = PosixFileSystem::CreateTemporary(target);
    if (real.status.ok()) {
        real.file = std::make_unique<FaultOutputFile>(*this, target, std::move(real.file));
    }
    return real;
}

}  // namespace korvane::testing
