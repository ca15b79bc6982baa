// files.h -- the one place the game opens files: the game's data found, every
// file read whole (regular files only, never waiting on what stands at the
// path), the assets read kept in one digest, the player's files written whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Makes the folder holding Textures/, Models/ and Sound/ the working directory:
// the working directory itself, else the program's folder, an installation's
// data folder relative to the program, or the one it was installed to. 0 with
// one console line naming every place looked in.
int FilesFindGameData();

// Why a file could not be used, from the errno left by the calls here: "it is
// a folder", "it is a named pipe", "it is a device", or the system's reason.
const char* FilesReason(int reason);

enum FilesReadStatus {
    FILES_READ = 0,
    FILES_MISSING = 1,       // nothing at the path
    FILES_UNREADABLE = 2,    // not a regular file, or the system refused (reason says which)
    FILES_TOO_LARGE = 3,     // more than the limit
    FILES_HEAD_REFUSED = 4,  // the head check said no; nothing more was read
};

// Looks at a file's first bytes before the rest is read (a format's header).
struct FilesHeadCheck {
    size_t size;   // how many bytes it needs, at most (fewer when the file is shorter)
    int (*accept)(const unsigned char* head, size_t size, void* user);   // 1 to read on
    void* user;
};

// Reads a whole regular file of at most limit bytes into a new block, freed
// with std::free, with a zero byte after the last one. head may be null. On
// failure *bytes is null and *reason holds an errno value for FilesReason.
FilesReadStatus FilesReadWhole(const char* fileName, size_t limit, const FilesHeadCheck* head,
                               unsigned char** bytes, size_t* size, int* reason);

// The same for an asset file the game loads (a texture, a mesh, a sound): its
// name, its outcome and its bytes also go into the running asset digest, so
// a recording names exactly the files its game was started with.
FilesReadStatus FilesReadAsset(const char* fileName, size_t limit, unsigned char** bytes,
                               size_t* size, int* reason);

// The digest of every asset read since FilesForgetAssets, in the order read.
uint64_t FilesAssetDigest();
void FilesForgetAssets();

// FNV-1a, 64 bits, from FILES_DIGEST_START: the digest of assets and whole files.
uint64_t FilesDigest(uint64_t digest, const void* bytes, size_t size);
enum : uint64_t { FILES_DIGEST_START = 14695981039346656037ull };

// ---- the player's data folder and writes that never leave half a file ----

// The game's data folder: $XDG_DATA_HOME/balltoss, or ~/.local/share/balltoss
// when that is unset or not absolute. create: make it (and its parents) when
// missing. 1 with the path; 0 with one console line naming the path and the
// system's reason (only when create is set; else quietly).
int FilesDataFolder(char* path, size_t size, int create);

// Makes the folder at path and every folder on the way to it (as mkdir -p);
// path is changed while it works and given back as it was. 0 with errno set.
int FilesMakeFolders(char* path);
// Writes all size bytes to fd, going on after interruptions; a write that
// takes nothing counts as a full disk. 0 with errno set. Safe in a signal
// handler.
int FilesWriteAll(int fd, const void* bytes, size_t size);
// Replaces path with bytes at once: a new file in the same folder, written,
// flushed to the disk, then renamed over path. A crash at any point leaves the
// old file or the new one, never a mix. 0 with errno set on failure.
int FilesWriteAtomic(const char* path, const void* bytes, size_t size);

// For tests: called between the write and the rename with the new file's path.
extern void (*filesBeforeRename)(const char* tempPath);

// Holds a lock named by path (a file beside what it guards) until FilesUnlock:
// games running at once take turns. -1 with errno when it cannot be made.
int FilesLock(const char* path);
void FilesUnlock(int lock);

// Moves a file out of the way under a new name beside it ("PATH.damaged-DATE"),
// never deleting it. 1 with the new name in movedTo.
int FilesMoveAside(const char* path, char* movedTo, size_t size);
