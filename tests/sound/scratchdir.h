// scratchdir.h -- a throw-away working directory with a Sound/ folder of generated
// WAV files, for running the sound bank on files the test controls.
#pragma once

#include "wavfile.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// The five files the bank reads, in slot-table order of first use.
inline const char* const BANK_FILES[5] = {
    "Sound/Ball2Ball1.wav", "Sound/Rolling.wav", "Sound/Win1.wav", "Sound/Win2.wav",
    "Sound/Win3.wav",
};

struct ScratchDir {
    std::string root;     // the directory itself
    std::string previous; // working directory before Enter
};

// Makes the directory with an empty Sound/ folder inside.
inline bool MakeScratchDir(ScratchDir* dir)
{
    char pattern[] = "/tmp/balltoss-sound-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return false;
    dir->root = pattern;
    return std::filesystem::create_directory(dir->root + "/Sound");
}

inline std::string ScratchPath(const ScratchDir& dir, const std::string& name)
{
    return dir.root + "/" + name;
}

// Writes all five bank files as short tones of different lengths (rollingFrames
// for "Sound/Rolling.wav"), at 22050 Hz.
inline bool WriteBankFiles(const ScratchDir& dir, int rollingFrames)
{
    const int frames[5] = {2205, rollingFrames, 3000, 3500, 4000};
    bool ok = true;
    for (int k = 0; k < 5; ++k)
        ok = WriteToneWav(ScratchPath(dir, BANK_FILES[k]), 22050, frames[k], 440.0f, 0.5f) && ok;
    return ok;
}

// Makes the directory the working directory / goes back and removes it.
inline bool EnterScratchDir(ScratchDir* dir)
{
    dir->previous = std::filesystem::current_path().string();
    return chdir(dir->root.c_str()) == 0;
}

inline void LeaveScratchDir(ScratchDir* dir)
{
    if (!dir->previous.empty() && chdir(dir->previous.c_str()) != 0)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(dir->root, ignored);
}

// True when the game's own Sound/ folder holds all five files.
inline bool RealSoundFilesPresent(const std::string& sourceDir)
{
    for (const char* name : BANK_FILES)
        if (!std::filesystem::is_regular_file(sourceDir + "/" + name))
            return false;
    return true;
}
