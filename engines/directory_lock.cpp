#include "directory_lock.h"

#include <signal.h>

#include <cerrno>

#include "report_text.h"

namespace korvane {

namespace {

bool ProcessEnded(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

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

    // With the lock held, a temporary file of ours belongs to a run that ended before
    // it could remove it, unless its process still lives.
    std::vector<DirectoryEntry> entries;
    if (!context.fs.List(directory, entries).ok()) {
        return true;
    }
    for (const DirectoryEntry& entry : entries) {
        const long owner = TemporaryOwner(entry.name.native());
        if (owner <= 0 || !ProcessEnded(owner)) {
            continue;
        }
        const FsStatus removed = context.fs.Remove(JoinPath(directory, entry.name));
        context.report.Append((removed.ok() ? "Removed " : "Can not remove ") +
                              DisplayName(entry.name) +
                              ", a temporary file left by an interrupted run" +
                              (removed.ok() ? "" : " - " + removed.reason()));
    }
    return true;
}

}  // namespace korvane
