#include "mapped_copy.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace korvane {

namespace {

// The copy under way on this thread, if any: a SIGBUS while it runs jumps back to it.
thread_local sigjmp_buf* volatile t_copy = nullptr;
struct sigaction g_before {};

void OnBusError(int signal, siginfo_t* info, void* context) {
    if (t_copy != nullptr) {
        siglongjmp(*t_copy, 1);
    }
    // Not a copy's fault: as the program had it, by default the end of the program (the
    // faulting access is made again on return, now with the default action).
    if ((g_before.sa_flags & SA_SIGINFO) != 0) {
        g_before.sa_sigaction(signal, info, context);
    } else if (g_before.sa_handler != SIG_DFL && g_before.sa_handler != SIG_IGN) {
        g_before.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);
    }
}

bool CopyPart(int fd, std::int64_t offset, void* to, std::size_t size) {
    static const std::int64_t page = ::sysconf(_SC_PAGESIZE);
    const std::int64_t start = offset & ~(page - 1);
    const std::size_t length = size + static_cast<std::size_t>(offset - start);
    void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd,
                          static_cast<off_t>(start));
    if (mapped == MAP_FAILED) {
        return false;
    }
    sigjmp_buf copy;
    volatile bool copied = false;
    if (sigsetjmp(copy, 1) == 0) {
        t_copy = &copy;
        std::memcpy(to, static_cast<const char*>(mapped) + (offset - start), size);
        copied = true;
    }
    t_copy = nullptr;
    ::munmap(mapped, length);
    return copied;
}

}  // namespace

bool CopyThroughMapping(int fd, std::int64_t offset, void* to, std::size_t size) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        ::sigaction(SIGBUS, &action, &g_before);
    });
    // A few megabytes mapped at a time: the pages mapped count as the program's memory.
    constexpr std::size_t kPart = 4 << 20;
    for (std::size_t done = 0; done < size;) {
        const std::size_t part = std::min(kPart, size - done);
        if (!CopyPart(fd, offset + static_cast<std::int64_t>(done), static_cast<char*>(to) + done,
                      part)) {
            return false;
        }
        done += part;
    }
    return true;
}

}  // namespace korvane
