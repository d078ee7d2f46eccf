#include "fault_file_system.h"

namespace korvane::testing {

namespace {

FsStatus Injected() {
    return FsStatus::Fail("injected failure");
}

class FaultOutputFile final : public OutputFile {
  public:
    FaultOutputFile(FaultFileSystem& owner, std::filesystem::path path,
                    std::unique_ptr<OutputFile> real)
        : owner_(owner), path_(std::move(path)), real_(std::move(real)) {}

    FsStatus Write(std::span<const std::uint8_t> bytes) override {
        std::size_t partial = 0;
        if (owner_.ShouldFail(FsOperation::Write, path_, &partial)) {
            real_->Write(bytes.first(std::min(partial, bytes.size())));
            return FsStatus::Fail("No space left on device (injected)");
        }
        return real_->Write(bytes);
    }
    FsStatus Close(bool durable) override {
        const FsStatus status = real_->Close(durable);
        if (owner_.ShouldFail(FsOperation::Close, path_)) {
            return Injected();
        }
        return status;
    }

  private:
    FaultFileSystem& owner_;
    std::filesystem::path path_;
    std::unique_ptr<OutputFile> real_;
};

}  // namespace

void FaultFileSystem::FailOn(FsOperation operation, int nth, std::string path_part,
                             std::size_t partial) {
    rules_.push_back({operation, nth, std::move(path_part), partial});
}

int FaultFileSystem::calls(FsOperation operation) const {
    return counts_[static_cast<int>(operation)];
}

bool FaultFileSystem::ShouldFail(FsOperation operation, const std::filesystem::path& path,
                                 std::size_t* partial) {
    ++counts_[static_cast<int>(operation)];
    for (Rule& rule : rules_) {
        if (rule.operation != operation ||
            path.native().find(rule.path_part) == std::string::npos) {
            continue;
        }
        if (++rule.seen == rule.nth) {
            if (partial != nullptr) {
                *partial = rule.partial;
            }
            return true;
        }
    }
    return false;
}

FsStatus FaultFileSystem::List(const std::filesystem::path& directory,
                               std::vector<DirectoryEntry>& entries) {
    if (ShouldFail(FsOperation::List, directory)) {
        return Injected();
    }
    return real_.List(directory, entries);
}

ReadResult FaultFileSystem::ReadWhole(const std::filesystem::path& path, std::int64_t max_length) {
    if (ShouldFail(FsOperation::Read, path)) {
        ReadResult result;
        result.status = FsStatus::Fail("Input/output error (injected)");
        return result;
    }
    return real_.ReadWhole(path, max_length);
}

CreateResult FaultFileSystem::CreateExclusive(const std::filesystem::path& path) {
    if (ShouldFail(FsOperation::Create, path)) {
        CreateResult result;
        result.status = Injected();
        return result;
    }
    CreateResult real = real_.CreateExclusive(path);
    if (real.status.ok()) {
        real.file = std::make_unique<FaultOutputFile>(*this, path, std::move(real.file));
    }
    return real;
}

FsStatus FaultFileSystem::RenameNoReplace(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    if (ShouldFail(FsOperation::Rename, to)) {
        return Injected();
    }
    return real_.RenameNoReplace(from, to);
}

FsStatus FaultFileSystem::LinkNoReplace(const std::filesystem::path& existing,
                                        const std::filesystem::path& to) {
    if (!hard_links) {
        return FsStatus::Unsupported("Operation not permitted (no hard links)");
    }
    if (ShouldFail(FsOperation::Rename, to)) {
        return Injected();
    }
    return real_.LinkNoReplace(existing, to);
}

FsStatus FaultFileSystem::RenameReplacing(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    if (ShouldFail(FsOperation::Rename, to)) {
        return Injected();
    }
    return real_.RenameReplacing(from, to);
}

FsStatus FaultFileSystem::Remove(const std::filesystem::path& path) {
    if (ShouldFail(FsOperation::Remove, path)) {
        return Injected();
    }
    return real_.Remove(path);
}

}  // namespace korvane::testing
