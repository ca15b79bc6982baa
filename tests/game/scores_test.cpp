// scores_test.cpp -- the best-scores table: its order, ties and ten places, the
// file written at once (a crash between the write and the rename keeps the old
// table), a damaged file moved aside for a new table, and the files layer's
// digest of the assets read.
#include "game/game.h"
#include "platform/files/files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchFolder()
{
    char folder[] = "/tmp/scores_test.XXXXXX";
    return mkdtemp(folder);
}

std::string Read(const std::string& path)
{
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    int c;
    while (f && (c = std::fgetc(f)) != EOF)
        text += (char)c;
    if (f)
        std::fclose(f);
    return text;
}

void Write(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs(text.c_str(), f);
    std::fclose(f);
}

int Entries(const std::string& folder)
{
    int n = 0;
    DIR* d = opendir(folder.c_str());
    while (d && readdir(d))
        ++n;
    if (d)
        closedir(d);
    return n - 2;
}

} // namespace

TEST(ScoresTest, BestFirstTiesBelowTheEarlierTenKeptAndTheFileReadsBack)
{
    ScoreTable table = {};
    const int scores[] = {100, 250, 100, 0, 35, 900, 250, 10, 45, 60, 70, 5};
    const int places[] = {1, 1, 3, 4, 4, 1, 3, 7, 6, 6, 6, 0};
    char when[20];
    for (int i = 0; i < 12; ++i) {
        std::snprintf(when, sizeof when, "2024-05-01 12:00:%02d", i);
        EXPECT_EQ(ScoresInsert(&table, scores[i], when), places[i]) << "round " << i;
    }
    ASSERT_EQ(table.count, 10);
    const int kept[] = {900, 250, 250, 100, 100, 70, 60, 45, 35, 10};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(table.entries[i].score, kept[i]) << i;
    EXPECT_STREQ(table.entries[1].when, "2024-05-01 12:00:01");   // the first 250 stays above
    EXPECT_STREQ(table.entries[3].when, "2024-05-01 12:00:00");
    char text[2048];
    size_t size = ScoresFormat(&table, text, sizeof text);
    ScoreTable back;
    ASSERT_TRUE(ScoresParse(text, size, &back));
    EXPECT_EQ(std::memcmp(&back, &table, sizeof table), 0);
    // Not a table this game wrote: out of order, a bad line, eleven rows, no heading.
    std::string good(text, size);
    std::string bad[] = {good.substr(0, good.size() - 1), good + "11 2024-05-01 12:00:00\n",
                         good.substr(good.find('\n') + 1), "",
                         good.replace(good.find("900"), 3, "009")};
    for (const std::string& b : bad)
        EXPECT_FALSE(ScoresParse(b.data(), b.size(), &back)) << b;
}

TEST(ScoresTest, ADamagedFileIsMovedAsideAndANewTableStarts)
{
    std::string folder = ScratchFolder();
    Write(folder + "/scores.txt", "not a table\n");
    ScoreTable table;
    testing::internal::CaptureStdout();
    EXPECT_EQ(KeepScore(folder.c_str(), 135, &table), 1);
    std::string line = testing::internal::GetCapturedStdout();
    EXPECT_EQ(line.rfind("The scores file " + folder + "/scores.txt was damaged or unreadable; it was moved to " +
                             folder + "/scores.txt.damaged-", 0), 0u) << line;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    std::string aside = line.substr(line.find(" moved to ") + 10);
    aside = aside.substr(0, aside.find(" and a new table"));
    EXPECT_EQ(Read(aside), "not a table\n");
    ASSERT_EQ(table.count, 1);
    EXPECT_EQ(table.entries[0].score, 135);
    EXPECT_EQ(KeepScore(folder.c_str(), 20, &table), 2);
    EXPECT_EQ(table.count, 2);
}

static void Crash(const char*) { _exit(3); }

// Killed between the write and the rename: the old table is whole, and only the
// new file beside it is left.
TEST(ScoresTest, AnAtomicWriteCutBeforeItsRenameLeavesTheOldFile)
{
    std::string folder = ScratchFolder(), path = folder + "/scores.txt";
    ASSERT_TRUE(FilesWriteAtomic(path.c_str(), "old\n", 4));
    EXPECT_EQ(Read(path), "old\n");
    EXPECT_EQ(Entries(folder), 1);
    EXPECT_EXIT(
        {
            filesBeforeRename = Crash;
            FilesWriteAtomic(path.c_str(), "new table\n", 10);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_EQ(Read(path), "old\n");
    EXPECT_EQ(Entries(folder), 2);
    ASSERT_TRUE(FilesWriteAtomic(path.c_str(), "new table\n", 10));
    EXPECT_EQ(Read(path), "new table\n");
    EXPECT_FALSE(FilesWriteAtomic((folder + "/none/scores.txt").c_str(), "x", 1));
}

// The digest a recording keeps of the game's assets: every asset read, in the
// order read, by name, outcome and bytes; other files read whole leave it alone.
TEST(FilesTest, TheAssetDigestTakesEachAssetReadInOrderAndNothingElse)
{
    std::string folder = ScratchFolder(), a = folder + "/a.obj", b = folder + "/b.wav";
    Write(a, "abc");
    Write(b, "xyz");
    auto digestOf = [](std::initializer_list<std::string> names) {
        FilesForgetAssets();
        for (const std::string& name : names) {
            unsigned char* bytes = nullptr;
            size_t size = 0;
            int reason = 0;
            FilesReadAsset(name.c_str(), 1024, &bytes, &size, &reason);
            std::free(bytes);
        }
        return FilesAssetDigest();
    };
    uint64_t first = digestOf({a, b});
    EXPECT_NE(first, FILES_DIGEST_START);
    EXPECT_EQ(digestOf({a, b}), first);
    EXPECT_NE(digestOf({b, a}), first);

    unsigned char* bytes = nullptr;
    size_t size = 0;
    int reason = 0;
    digestOf({a, b});
    ASSERT_EQ(FilesReadWhole(a.c_str(), 1024, nullptr, &bytes, &size, &reason), FILES_READ);
    std::free(bytes);
    EXPECT_EQ(FilesAssetDigest(), first);

    Write(a, "abd");
    EXPECT_NE(digestOf({a, b}), first);
    Write(a, "");
    uint64_t empty = digestOf({a});
    unlink(a.c_str());
    EXPECT_NE(digestOf({a}), empty);
    FilesForgetAssets();
    EXPECT_EQ(FilesAssetDigest(), FILES_DIGEST_START);
}
