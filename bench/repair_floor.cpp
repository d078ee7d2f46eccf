// The floor of a safe repair of every image in a directory: the operations no such repair
// can leave out, and nothing else. Each file is opened and its header read; a new file is
// created readable by its owner alone, given the original's mode, the mended header
// written and the rest copied inside the kernel, and the original, already on the disk,
// linked to its backup name; then, for all files at once, one sync of the volume, which on
// a local file system makes the new files' data and the backup names durable together,
// the new files renamed over the originals, and a sync of the directory. No questions, no
// report, no checks of the header: a stand-in for the benchmarks on local volumes, not a
// repair.
//   repair_floor DIR
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: repair_floor DIR\n");
        return 2;
    }
    const int directory = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = directory < 0 ? nullptr : ::fdopendir(::dup(directory));
    if (listing == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_type == DT_REG) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(listing);
    std::vector<std::string> temporaries;
    for (const std::string& name : names) {
        const int source = ::openat(directory, name.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        struct stat info {};
        unsigned char header[16];
        if (source < 0 || ::fstat(source, &info) != 0 ||
            ::pread(source, header, sizeof header, 0) != sizeof header) {
            std::perror(name.c_str());
            return 1;
        }
        const std::string temporary = ".floor-" + name;
        const int target =
            ::openat(directory, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        loff_t from = sizeof header;
        const auto length = static_cast<size_t>(info.st_size - 20 - static_cast<off_t>(from));
        if (target < 0 || ::fchmod(target, info.st_mode & 07777) != 0 ||
            ::write(target, header, sizeof header) != sizeof header ||
            ::copy_file_range(source, &from, target, nullptr, length, 0) !=
                static_cast<ssize_t>(length)) {
            std::perror(temporary.c_str());
            return 1;
        }
        ::close(target);
        ::close(source);
        temporaries.push_back(temporary);
        const std::string backup = name.substr(0, name.find('.')) + "_org.atr";
        if (::linkat(directory, name.c_str(), directory, backup.c_str(), 0) != 0) {
            std::perror(backup.c_str());
            return 1;
        }
    }
    bool ok = ::syncfs(directory) == 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        ok = ::renameat(directory, temporaries[i].c_str(), directory, names[i].c_str()) == 0 && ok;
    }
    ok = ::fsync(directory) == 0 && ok;
    if (!ok) {
        std::perror(argv[1]);
    }
    return ok ? 0 : 1;
}
