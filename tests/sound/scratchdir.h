// scratchdir.h -- a throw-away working directory with a Sound/ folder of generated
// WAV files, for running the sound bank on files the test controls.
#pragma once

#include <string>

// The five files the bank reads, in slot-table order of first use.
extern const char* const BANK_FILES[5];

struct ScratchDir {
    std::string root;     // the directory itself
    std::string previous; // working directory before Enter
};

// Makes the directory with an empty Sound/ folder inside.
bool MakeScratchDir(ScratchDir* dir);
// Writes all five bank files as short tones of different lengths (rollingFrames
// for "Sound/Rolling.wav"), at 22050 Hz.
bool WriteBankFiles(const ScratchDir& dir, int rollingFrames);
std::string ScratchPath(const ScratchDir& dir, const std::string& name);
// Makes the directory the working directory / goes back and removes it.
bool EnterScratchDir(ScratchDir* dir);
void LeaveScratchDir(ScratchDir* dir);

// True when the game's own Sound/ folder holds all five files.
bool RealSoundFilesPresent(const std::string& sourceDir);
