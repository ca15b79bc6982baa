// files.h -- opening the game's asset files: regular files only, without ever
// waiting on what stands at the path.
#pragma once

#include <cstdio>

// Opens fileName for binary reading when it is a regular file. A named pipe, a
// device or a folder is refused without blocking. Null on failure, with errno
// ENOENT when nothing is there, EISDIR for a folder, EINVAL for anything else
// that is not a regular file, or the system's own reason.
FILE* OpenAssetFile(const char* fileName);

// 1 when fileName is a regular file that can be opened for reading (checked
// the same way, without blocking), 0 otherwise.
int AssetFileReadable(const char* fileName);
