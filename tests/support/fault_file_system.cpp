#include "fault_file_system.h"

namespace korvane::testing {

namespace {

const FsStatus kInjected = FsStatus::Fail("injected failure");

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
    FsStatus Adopt(const FileInfo& info) override { return real_->Adopt(info); }
    FsStatus Close(bool durable) override {
        const FsStatus status = real_->Close(durable);
        return owner_.ShouldFail(FsOperation::Close, path_) ? kInjected : status;
    }

  private:
    FaultFileSystem& owner_;
    std::filesystem::path path_;
    std::unique_ptr<OutputFile> real_;
};

const FsStatus kReadError = FsStatus::Fail("Input/output error (injected)");

}  // namespace

bool FaultFileSystem::ShouldFail(FsOperation operation, const std::filesystem::path& path,
                                 std::size_t* partial) {
    ++counts_[static_cast<int>(operation)];
    for (Rule& rule : rules_) {
        if (rule.operation == operation &&
            path.native().find(rule.path_part) != std::string::npos && ++rule.seen == rule.nth) {
            if (partial != nullptr) {
                *partial = rule.partial;
            }
            // Output files' failures are counted by their users.
            if (operation != FsOperation::Write && operation != FsOperation::Close) {
                Counted(kInjected);
            }
            return true;
        }
    }
    return false;
}

FsStatus FaultFileSystem::List(const std::filesystem::path& directory,
                               std::vector<DirectoryEntry>& entries) {
    return ShouldFail(FsOperation::List, directory) ? kInjected : real_.List(directory, entries);
}

ReadResult FaultFileSystem::ReadWhole(const std::filesystem::path& path, std::int64_t max_length) {
    return ShouldFail(FsOperation::Read, path) ? ReadResult{kReadError, {}}
                                               : real_.ReadWhole(path, max_length);
}

OpenResult FaultFileSystem::OpenRead(const std::filesystem::path& path) {
    return ShouldFail(FsOperation::Read, path) ? OpenResult{kReadError, {}} : real_.OpenRead(path);
}

FsStatus FaultFileSystem::Length(const std::filesystem::path& path, std::int64_t& length) {
    return ShouldFail(FsOperation::Read, path) ? kReadError : real_.Length(path, length);
}

CreateResult FaultFileSystem::CreateExclusive(const std::filesystem::path& path) {
    if (ShouldFail(FsOperation::Create, path)) {
        return {kInjected, nullptr, path};
    }
    CreateResult real = real_.CreateExclusive(path);
    if (real.status.ok()) {
        real.file = std::make_unique<FaultOutputFile>(*this, path, std::move(real.file));
    }
    return real;
}

CreateResult FaultFileSystem::CreateTemporary(const std::filesystem::path& target) {
    if (ShouldFail(FsOperation::Create, target)) {
        return {kInjected, nullptr, {}};
    }
    CreateResult real = real_.CreateTemporary(target);
    if (real.status.ok()) {
        real.file = std::make_unique<FaultOutputFile>(*this, target, std::move(real.file));
    }
    return real;
}

FsStatus FaultFileSystem::RenameNoReplace(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    return ShouldFail(FsOperation::Rename, to) ? kInjected : real_.RenameNoReplace(from, to);
}

FsStatus FaultFileSystem::LinkNoReplace(const std::filesystem::path& existing,
                                        const std::filesystem::path& to) {
    if (!hard_links) {
        return FsStatus::Unsupported("Operation not permitted (no hard links)");
    }
    return ShouldFail(FsOperation::Rename, to) ? kInjected : real_.LinkNoReplace(existing, to);
}

FsStatus FaultFileSystem::RenameReplacing(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    return ShouldFail(FsOperation::Rename, to) ? kInjected : real_.RenameReplacing(from, to);
}

FsStatus FaultFileSystem::Remove(const std::filesystem::path& path) {
    return ShouldFail(FsOperation::Remove, path) ? kInjected : real_.Remove(path);
}

LockResult FaultFileSystem::LockDirectory(const std::filesystem::path& directory) {
    return ShouldFail(FsOperation::Lock, directory)
               ? LockResult{FsStatus::Fail("another run is writing into it"), nullptr}
               : real_.LockDirectory(directory);
}

}  // namespace korvane::testing
