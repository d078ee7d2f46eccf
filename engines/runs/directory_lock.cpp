#include "directory_lock.h"

#include "report_text.h"
#include "temporary_files.h"

namespace korvane {

bool StartWritingRun(EngineContext& context, const std::filesystem::path& directory,
                     std::unique_ptr<DirectoryLock>& held) {
    LockResult locked = context.fs.LockDirectory(directory);
    if (!locked.status.ok()) {
        context.prompt.Ask({PromptTopic::DirectoryInUse, "ERROR",
                            "Can not start: " + DisplayName(directory) + " can not be locked - " +
                                locked.status.reason() +
                                ". Start again when the other run has finished.",
                            PromptIcon::Critical, PromptButtons::Ok});
        return false;
    }
    held = std::move(locked.lock);

    // With the lock held, every temporary file of ours belongs to a run that ended before
    // it could remove it, whatever process id its name carries (ids are used again, and
    // in a container every run is process 1). One that can not be removed is said once
    // and is no failure of this run: the new temporary names pass it over.
    std::vector<DirectoryEntry> entries;
    if (!context.fs.List(directory, entries).ok()) {
        return true;
    }
    const std::int64_t failures_before = context.fs.failed_operations();
    for (const DirectoryEntry& entry : entries) {
        if (IsRestoreRecordName(entry.name.native())) {
            const std::string notice =
                FollowRestoreRecord(context.fs, JoinPath(directory, entry.name));
            if (!notice.empty()) {
                context.notice(notice);
            }
            continue;
        }
        if (!IsTemporaryName(entry.name.native())) {
            continue;
        }
        const FsStatus removed = context.fs.Remove(JoinPath(directory, entry.name));
        context.notice((removed.ok() ? "Removed " : "Can not remove ") + DisplayName(entry.name) +
                       ", a temporary file left by an interrupted run" +
                       (removed.ok() ? "" : " - " + removed.reason()));
    }
    context.fs.Forgive(context.fs.failed_operations() - failures_before);
    return true;
}

}  // namespace korvane
