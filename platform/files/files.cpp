// files.cpp -- files read whole without blocking (a named pipe put where a
// texture was would otherwise stop start-up until something writes into it),
// the digest of the assets read, and the player's files written whole.
#include "platform/files/files.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static int NotRegularReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return EISDIR;
    if (S_ISFIFO(mode))
        return ESPIPE;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return ENODEV;
    return EINVAL;
}

// The open itself must not wait (a pipe without a writer, a device), so it is
// non-blocking; the descriptor's own type then decides, not a look at the path
// beforehand that could be answered by another file.
static int OpenRegular(const char* fileName)
{
    int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat info;
    int reason = 0;
    if (fstat(fd, &info) != 0)
        reason = errno;
    else if (!S_ISREG(info.st_mode))
        reason = NotRegularReason(info.st_mode);
    if (reason != 0) {
        close(fd);
        errno = reason;
        return -1;
    }
    // Reads of a regular file never wait; the flag goes so that stdio sees a plain file.
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

const char* FilesReason(int reason)
{
    switch (reason) {
    case EISDIR: return "it is a folder";
    case ESPIPE: return "it is a named pipe";
    case ENODEV: return "it is a device";
    case EINVAL: return "it is not a regular file";
    default: return std::strerror(reason);
    }
}

// Up to count bytes (fewer only at the file's end); false on a read error.
static bool ReadUpTo(int fd, unsigned char* into, size_t count, size_t* got)
{
    *got = 0;
    while (*got < count) {
        ssize_t n = read(fd, into + *got, count - *got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        *got += (size_t)n;
    }
    return true;
}

static FilesReadStatus Fail(int fd, unsigned char* block, FilesReadStatus status, int reason,
                            int* out)
{
    std::free(block);
    close(fd);
    *out = reason;
    return status;
}

FilesReadStatus FilesReadWhole(const char* fileName, size_t limit, const FilesHeadCheck* head,
                               unsigned char** bytes, size_t* size, int* reason)
{
    *bytes = nullptr;
    *size = 0;
    *reason = 0;
    int fd = OpenRegular(fileName);
    if (fd < 0) {
        *reason = errno;
        return errno == ENOENT ? FILES_MISSING : FILES_UNREADABLE;
    }
    struct stat info;
    if (fstat(fd, &info) != 0)
        return Fail(fd, nullptr, FILES_UNREADABLE, errno, reason);
    if ((unsigned long long)info.st_size > limit)
        return Fail(fd, nullptr, FILES_TOO_LARGE, EFBIG, reason);
    // The size it has now: what a writer adds meanwhile is left for the next read.
    size_t capacity = (size_t)info.st_size;
    unsigned char* block = (unsigned char*)std::malloc(capacity + 1);
    if (!block)
        return Fail(fd, nullptr, FILES_UNREADABLE, ENOMEM, reason);
    size_t used = 0;
    if (head) {
        size_t want = head->size < capacity ? head->size : capacity;
        if (!ReadUpTo(fd, block, want, &used))
            return Fail(fd, block, FILES_UNREADABLE, errno, reason);
        if (!head->accept(block, used, head->user))
            return Fail(fd, block, FILES_HEAD_REFUSED, 0, reason);
    }
    size_t got;
    if (!ReadUpTo(fd, block + used, capacity - used, &got))
        return Fail(fd, block, FILES_UNREADABLE, errno, reason);
    used += got;
    close(fd);
    block[used] = 0;
    *bytes = block;
    *size = used;
    return FILES_READ;
}

uint64_t FilesDigest(uint64_t digest, const void* bytes, size_t size)
{
    const unsigned char* p = (const unsigned char*)bytes;
    for (size_t i = 0; i < size; ++i) {
        digest ^= p[i];
        digest *= 1099511628211ull;
    }
    return digest;
}

// Of every asset the game has read, in order: names, outcomes, sizes and bytes.
static uint64_t assetDigest = FILES_DIGEST_START;

FilesReadStatus FilesReadAsset(const char* fileName, size_t limit, unsigned char** bytes,
                               size_t* size, int* reason)
{
    FilesReadStatus status = FilesReadWhole(fileName, limit, nullptr, bytes, size, reason);
    // A file that could not be read counts by its name and outcome, so a game
    // missing one is told apart from one that has it.
    unsigned char outcome[9] = {(unsigned char)status};
    for (int i = 0; i < 8; ++i)
        outcome[1 + i] = (unsigned char)((unsigned long long)*size >> (8 * i));
    assetDigest = FilesDigest(assetDigest, fileName, std::strlen(fileName) + 1);
    assetDigest = FilesDigest(assetDigest, outcome, sizeof outcome);
    if (*bytes)
        assetDigest = FilesDigest(assetDigest, *bytes, *size);
    return status;
}

uint64_t FilesAssetDigest() { return assetDigest; }

void FilesForgetAssets() { assetDigest = FILES_DIGEST_START; }

// ---- the player's data folder and atomic writes ---------------------------------

int FilesMakeFolders(char* path)
{
    for (char* p = path + 1; *p; ++p) {
        if (*p != '/')
            continue;
        *p = '\0';
        int made = mkdir(path, 0755) == 0 || errno == EEXIST;
        *p = '/';
        if (!made)
            return 0;
    }
    return mkdir(path, 0755) == 0 || errno == EEXIST;
}

int FilesDataFolder(char* path, size_t size, int create)
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    int length;
    if (xdg && xdg[0] == '/')
        length = std::snprintf(path, size, "%s/balltoss", xdg);
    else
        length = std::snprintf(path, size, "%s/.local/share/balltoss", home ? home : "");
    if (length <= 0 || (size_t)length >= size || (!xdg && !home)) {
        if (create)
            std::printf("Cannot keep scores or rounds: no data folder (HOME is not set)\n");
        std::fflush(stdout);
        return 0;
    }
    if (!create)
        return 1;
    struct stat info;
    int reason = 0;
    if (!FilesMakeFolders(path))
        reason = errno;
    else if (stat(path, &info) != 0)
        reason = errno;
    else if (!S_ISDIR(info.st_mode))
        reason = ENOTDIR;
    else if (access(path, W_OK | X_OK) != 0)
        reason = errno;
    if (reason == 0)
        return 1;
    std::printf("Cannot keep scores or rounds in %s: %s\n", path, std::strerror(reason));
    std::fflush(stdout);
    return 0;
}

void (*filesBeforeRename)(const char* tempPath) = nullptr;

int FilesWriteAll(int fd, const void* data, size_t size)
{
    const unsigned char* bytes = (const unsigned char*)data;
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return 0;
        }
        bytes += n;
        size -= (size_t)n;
    }
    return 1;
}

// The folder's own entry is flushed too, so the rename itself survives a power cut.
static void SyncFolderOf(const char* path)
{
    char folder[4096];
    std::snprintf(folder, sizeof folder, "%s", path);
    char* slash = std::strrchr(folder, '/');
    if (!slash)
        return;
    *slash = '\0';
    int fd = open(folder[0] ? folder : "/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

int FilesWriteAtomic(const char* path, const void* bytes, size_t size)
{
    char temp[4096];
    int length = std::snprintf(temp, sizeof temp, "%s.XXXXXX", path);
    if (length <= 0 || (size_t)length >= sizeof temp) {
        errno = ENAMETOOLONG;
        return 0;
    }
    int fd = mkstemp(temp);
    if (fd < 0)
        return 0;
    fchmod(fd, 0644);
    int ok = FilesWriteAll(fd, bytes, size) && fsync(fd) == 0;
    int reason = errno;
    if (close(fd) != 0 && ok) {
        ok = 0;
        reason = errno;
    }
    if (ok && filesBeforeRename)
        filesBeforeRename(temp);
    if (ok && rename(temp, path) != 0) {
        ok = 0;
        reason = errno;
    }
    if (!ok) {
        unlink(temp);
        errno = reason;
        return 0;
    }
    SyncFolderOf(path);
    return 1;
}

int FilesLock(const char* path)
{
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            int reason = errno;
            close(fd);
            errno = reason;
            return -1;
        }
    }
    return fd;
}

void FilesUnlock(int lock)
{
    if (lock >= 0)
        close(lock);   // the lock goes with the descriptor
}

int FilesMoveAside(const char* path, char* movedTo, size_t size)
{
    char stamp[32];
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 0; n < 100; ++n) {
        int length = n == 0 ? std::snprintf(movedTo, size, "%s.damaged-%s", path, stamp)
                            : std::snprintf(movedTo, size, "%s.damaged-%s-%d", path, stamp, n);
        if (length <= 0 || (size_t)length >= size)
            return 0;
        struct stat info;
        if (lstat(movedTo, &info) == 0)
            continue;   // never over another one
        return rename(path, movedTo) == 0;
    }
    return 0;
}
