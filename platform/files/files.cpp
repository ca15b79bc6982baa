// files.cpp -- asset files opened without blocking: a named pipe put where a
// texture was would otherwise stop start-up until something writes into it.
#include "platform/files/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        reason = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
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

FILE* OpenAssetFile(const char* fileName)
{
    int fd = OpenRegular(fileName);
    if (fd < 0)
        return nullptr;
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        int reason = errno;
        close(fd);
        errno = reason;
    }
    return file;
}

int AssetFileReadable(const char* fileName)
{
    int fd = OpenRegular(fileName);
    if (fd < 0)
        return 0;
    close(fd);
    return 1;
}
