// A FUSE pass-through of a directory for the stress runs (bench only, never part of the
// product): it refuses hard links (EPERM) and RENAME_NOREPLACE (EINVAL), as exfat-fuse and
// ntfs-3g do, and forgets what a power cut would. It remembers which files were written
// since their last fsync; on SIGUSR1 it empties each of them, as a disk that never got
// their data, and exits at once, leaving the mount dead until it is unmounted. A syncfs
// reaches no FUSE daemon, so only an fsync of a file keeps its data.
// With --blocks it stands for a disk instead (the image file of a loop device): a cut
// puts back each 4 KiB block written since its file's last fsync, and the file's length
// at that fsync, as a disk that loses its whole write cache. With --torn, each such block
// is put back or kept at random, as a disk that wrote part of its cache in any order.
//   cc -O2 -o fuse_passthrough fuse_passthrough.c $(pkg-config --cflags --libs fuse3)
//   fuse_passthrough [--blocks|--torn] BACKING_DIR MOUNT_POINT [fuse options]
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static int backing = -1;  // the backing directory
static pthread_mutex_t dirty_lock = PTHREAD_MUTEX_INITIALIZER;
static ino_t dirty[65536];  // backing inodes written since their last fsync
static size_t dirty_count;

// --blocks and --torn: each file written since its last fsync, with the content its
// blocks had at that fsync.
enum { BLOCK = 4096, MAX_PENDING = 64 };
static int blocks_mode, torn;
struct saved_block {
    off_t block;
    ssize_t length;  // bytes the file had in the block at its last fsync
    char bytes[BLOCK];
};
struct pending {
    ino_t inode;
    int fd;  // a descriptor of its own, for the cut
    off_t synced_size;
    unsigned char* seen;  // one bit per block already saved
    size_t seen_bytes;
    struct saved_block* saved;
    size_t count, room;
};
static struct pending pending[MAX_PENDING];
static size_t pending_count;
static unsigned long fsyncs;  // FSYNC requests answered, for the cut's line

static struct pending* pending_of(ino_t inode) {
    for (size_t i = 0; i < pending_count; ++i) {
        if (pending[i].inode == inode) return &pending[i];
    }
    return NULL;
}

// Saves the blocks [offset, offset + size) touch that are not saved yet. Called with
// dirty_lock held, before the write.
static void save_blocks(int fd, ino_t inode, off_t size_now, off_t offset, size_t size) {
    struct pending* p = pending_of(inode);
    if (!p) {
        if (pending_count == MAX_PENDING) abort();
        p = &pending[pending_count++];
        memset(p, 0, sizeof *p);
        p->inode = inode;
        p->fd = dup(fd);
        p->synced_size = size_now;
    }
    for (off_t b = offset / BLOCK; size && b <= (off_t)((offset + size - 1) / BLOCK); ++b) {
        size_t byte = (size_t)b / 8;
        if (byte >= p->seen_bytes) {
            size_t grown = (byte + 1) * 2;
            p->seen = realloc(p->seen, grown);
            memset(p->seen + p->seen_bytes, 0, grown - p->seen_bytes);
            p->seen_bytes = grown;
        }
        if (p->seen[byte] & (1u << (b % 8))) continue;
        p->seen[byte] |= (unsigned char)(1u << (b % 8));
        if (p->count == p->room) {
            p->room = p->room ? p->room * 2 : 64;
            p->saved = realloc(p->saved, p->room * sizeof *p->saved);
        }
        struct saved_block* s = &p->saved[p->count++];
        s->block = b;
        s->length = pread(fd, s->bytes, BLOCK, b * BLOCK);
        if (s->length < 0) abort();
    }
}

// After an fsync of the file: nothing of it is to be put back any more.
static void forget_blocks(ino_t inode) {
    struct pending* p = pending_of(inode);
    if (!p) return;
    close(p->fd);
    free(p->seen);
    free(p->saved);
    *p = pending[--pending_count];
}

// The cut in --blocks and --torn modes.
static void put_back_blocks(void) {
    srand((unsigned)getpid() ^ (unsigned)time(NULL));
    size_t put_back = 0, kept = 0;
    for (size_t i = 0; i < pending_count; ++i) {
        struct pending* p = &pending[i];
        for (size_t k = 0; k < p->count; ++k) {
            struct saved_block* s = &p->saved[k];
            if (torn && rand() % 2) {
                ++kept;
                continue;
            }
            ++put_back;
            if (s->length > 0) (void)!pwrite(p->fd, s->bytes, (size_t)s->length, s->block * BLOCK);
        }
        struct stat st;
        if (!torn && fstat(p->fd, &st) == 0 && st.st_size > p->synced_size) {
            (void)!ftruncate(p->fd, p->synced_size);
        }
        fsync(p->fd);
    }
    fprintf(stderr, "cut after %lu FSYNC requests: %zu blocks put back, %zu kept\n", fsyncs,
            put_back, kept);
}

static const char* rel(const char* path) { return path[1] ? path + 1 : "."; }

static void mark(ino_t inode, int written) {
    pthread_mutex_lock(&dirty_lock);
    size_t i = 0;
    while (i < dirty_count && dirty[i] != inode) ++i;
    if (written && i == dirty_count && dirty_count < 65536) dirty[dirty_count++] = inode;
    if (!written && i < dirty_count) dirty[i] = dirty[--dirty_count];
    pthread_mutex_unlock(&dirty_lock);
}

// The power cut: every file with unsynced data loses it, then the daemon is gone. It
// runs in a thread of its own and holds the dirty list throughout, so that an fsync in
// flight is either answered before the cut or never.
static void* cut(void* unused) {
    (void)unused;
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    int signal = 0;
    sigwait(&usr1, &signal);
    pthread_mutex_lock(&dirty_lock);
    if (blocks_mode) {
        put_back_blocks();
        _exit(0);
    }
    DIR* listing = fdopendir(dup(backing));
    struct dirent* entry;
    while (listing && (entry = readdir(listing)) != NULL) {
        for (size_t i = 0; i < dirty_count; ++i) {
            if (entry->d_ino == dirty[i]) {
                int fd = openat(backing, entry->d_name, O_WRONLY | O_TRUNC);
                if (fd >= 0) fsync(fd), close(fd);
            }
        }
    }
    syncfs(backing);
    _exit(0);
}

static int fail(int result) { return result < 0 ? -errno : result; }

static int op_getattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
    (void)fi;
    return fail(fstatat(backing, rel(path), st, AT_SYMLINK_NOFOLLOW));
}
static int op_readdir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset,
                      struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
    (void)offset, (void)fi, (void)flags;
    int fd = openat(backing, rel(path), O_RDONLY | O_DIRECTORY);
    DIR* listing = fd < 0 ? NULL : fdopendir(fd);
    if (!listing) return -errno;
    struct dirent* entry;
    while ((entry = readdir(listing)) != NULL) fill(buf, entry->d_name, NULL, 0, 0);
    closedir(listing);
    return 0;
}
static int op_open(const char* path, struct fuse_file_info* fi) {
    int fd = openat(backing, rel(path), fi->flags & ~O_NOFOLLOW);
    if (fd < 0) return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}
static int op_create(const char* path, mode_t mode, struct fuse_file_info* fi) {
    int fd = openat(backing, rel(path), fi->flags | O_CREAT, mode);
    if (fd < 0) return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}
static int op_read(const char* path, char* buf, size_t size, off_t offset,
                   struct fuse_file_info* fi) {
    (void)path;
    return fail((int)pread((int)fi->fh, buf, size, offset));
}
static int op_write(const char* path, const char* buf, size_t size, off_t offset,
                    struct fuse_file_info* fi) {
    (void)path;
    struct stat st;
    if (fstat((int)fi->fh, &st) != 0) return -errno;
    if (!blocks_mode) mark(st.st_ino, 1);
    // Under the lock, so that a cut never comes between saving a block and writing it.
    pthread_mutex_lock(&dirty_lock);
    if (blocks_mode) save_blocks((int)fi->fh, st.st_ino, st.st_size, offset, size);
    int result = fail((int)pwrite((int)fi->fh, buf, size, offset));
    pthread_mutex_unlock(&dirty_lock);
    return result;
}
static int op_fsync(const char* path, int datasync, struct fuse_file_info* fi) {
    (void)path, (void)datasync;
    struct stat st;
    if (blocks_mode) {
        pthread_mutex_lock(&dirty_lock);
        int result = fsync((int)fi->fh) != 0 ? -errno : 0;
        if (result == 0 && fstat((int)fi->fh, &st) == 0) forget_blocks(st.st_ino);
        ++fsyncs;
        pthread_mutex_unlock(&dirty_lock);
        return result;
    }
    if (fsync((int)fi->fh) != 0) return -errno;
    if (fstat((int)fi->fh, &st) == 0) mark(st.st_ino, 0);
    return 0;
}
static int op_fsyncdir(const char* path, int datasync, struct fuse_file_info* fi) {
    (void)datasync, (void)fi;
    int fd = openat(backing, rel(path), O_RDONLY | O_DIRECTORY);
    int result = fd < 0 ? -errno : fail(fsync(fd));
    if (fd >= 0) close(fd);
    return result;
}
static int op_release(const char* path, struct fuse_file_info* fi) {
    (void)path;
    close((int)fi->fh);
    return 0;
}
// A file that goes is no longer dirty: its inode number may come back for another.
static void forget(const char* path) {
    struct stat st;
    if (fstatat(backing, rel(path), &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_nlink == 1) {
        mark(st.st_ino, 0);
    }
}
static int op_unlink(const char* path) {
    forget(path);
    return fail(unlinkat(backing, rel(path), 0));
}
static int op_mkdir(const char* path, mode_t mode) { return fail(mkdirat(backing, rel(path), mode)); }
static int op_rmdir(const char* path) { return fail(unlinkat(backing, rel(path), AT_REMOVEDIR)); }
static int op_rename(const char* from, const char* to, unsigned int flags) {
    if (flags) return -EINVAL;  // no RENAME_NOREPLACE, no RENAME_EXCHANGE
    forget(to);
    return fail(renameat(backing, rel(from), backing, rel(to)));
}
static int op_link(const char* from, const char* to) {
    (void)from, (void)to;
    return -EPERM;  // no hard links
}
static int op_chmod(const char* path, mode_t mode, struct fuse_file_info* fi) {
    (void)fi;
    return fail(fchmodat(backing, rel(path), mode, 0));
}
static int op_chown(const char* path, uid_t uid, gid_t gid, struct fuse_file_info* fi) {
    (void)fi;
    return fail(fchownat(backing, rel(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}
static int op_truncate(const char* path, off_t size, struct fuse_file_info* fi) {
    if (fi) return fail(ftruncate((int)fi->fh, size));
    int fd = openat(backing, rel(path), O_WRONLY);
    int result = fd < 0 ? -errno : fail(ftruncate(fd, size));
    if (fd >= 0) close(fd);
    return result;
}
static int op_utimens(const char* path, const struct timespec tv[2], struct fuse_file_info* fi) {
    (void)fi;
    return fail(utimensat(backing, rel(path), tv, AT_SYMLINK_NOFOLLOW));
}
static int op_statfs(const char* path, struct statvfs* st) {
    (void)path;
    return fail(fstatvfs(backing, st));
}

// Started once the daemon runs in the background, which keeps no thread of before.
static void* op_init(struct fuse_conn_info* conn, struct fuse_config* config) {
    (void)conn, (void)config;
    pthread_t cutter;
    pthread_create(&cutter, NULL, cut, NULL);
    return NULL;
}

static const struct fuse_operations operations = {
    .init = op_init,
    .getattr = op_getattr, .readdir = op_readdir, .open = op_open,       .create = op_create,
    .read = op_read,       .write = op_write,     .fsync = op_fsync,     .fsyncdir = op_fsyncdir,
    .release = op_release, .unlink = op_unlink,   .mkdir = op_mkdir,     .rmdir = op_rmdir,
    .rename = op_rename,   .link = op_link,       .chmod = op_chmod,     .chown = op_chown,
    .truncate = op_truncate, .utimens = op_utimens, .statfs = op_statfs,
};

int main(int argc, char* argv[]) {
    if (argc > 1 && (strcmp(argv[1], "--blocks") == 0 || strcmp(argv[1], "--torn") == 0)) {
        blocks_mode = 1;
        torn = strcmp(argv[1], "--torn") == 0;
        argv[1] = argv[0];
        ++argv, --argc;
    }
    if (argc < 3) {
        fprintf(stderr, "usage: %s [--blocks|--torn] BACKING_DIR MOUNT_POINT [fuse options]\n",
                argv[0]);
        return 2;
    }
    backing = open(argv[1], O_RDONLY | O_DIRECTORY);
    if (backing < 0) {
        perror(argv[1]);
        return 2;
    }
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, NULL);  // every thread leaves it to the cutting one
    argv[1] = argv[0];
    return fuse_main(argc - 1, argv + 1, &operations, NULL);
}
