// model_local.h -- helpers shared by the model module's readers; not for other modules.
#pragma once

#include <cstddef>

// Largest model or model text file read; the game's meshes are well under 1 MiB.
enum { kMaxModelFileBytes = 64 << 20 };

enum FileReadResult { kFileRead = 0, kFileMissing, kFileUnreadable, kFileTooLarge };

// Reads a whole file through the files layer (as an asset, so it counts in the
// asset digest) into a new malloc'd buffer, with a zero byte after its last
// byte (not counted in *size). *data is null unless kFileRead is returned.
FileReadResult ReadWholeFile(const char* fileName, char** data, size_t* size);

// Reads a decimal number (optional sign, digits, fraction, exponent) from text,
// never past end: leading blanks and tabs are skipped and reading stops at the
// first character that cannot continue the number. Returns the character after
// the number, or null when there is none (then *value is 0).
const char* ReadDecimal(const char* text, const char* end, double* value);
