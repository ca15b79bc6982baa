// options_test.cpp -- the command line and the settings file: what each option
// and key sets, the order they win in, and what is refused or reported.
#include "game/game.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

TEST(Options, EachOptionSetsItsFieldAndBadOnesEndWithTheUsageAndStatusTwo)
{
    struct Case {
        std::vector<const char*> args;
        int status;        // kOptionsPlay, or the exit status
        unsigned given;
        Settings named;    // the fields given
    };
    const Case cases[] = {
        {{"balltoss"}, kOptionsPlay, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--anisotropy", "1"}, kOptionsPlay, kGivenAnisotropy, {0, 1, 0, 0, 0, 0}},
        {{"balltoss", "--window", "--anisotropy", "4"}, kOptionsPlay,
         kGivenWindow | kGivenAnisotropy, {1, 4, 0, 0, 0, 0}},
        {{"balltoss", "--sensitivity", "2.5", "--invert-mouse", "--volume", "0", "--hints", "no"},
         kOptionsPlay, kGivenSensitivity | kGivenInvertMouse | kGivenVolume | kGivenHints,
         {0, 0, 2.5f, 1, 0, 0}},
        {{"balltoss", "--sensitivity", "0.1", "--volume", "100", "--hints", "YES"}, kOptionsPlay,
         kGivenSensitivity | kGivenVolume | kGivenHints, {0, 0, 0.1f, 0, 100, 1}},
        {{"balltoss", "--anisotropy", "0"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--anisotropy", "-2"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--anisotropy", "2.5"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--anisotropy", "99999999999"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--anisotropy"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--sensitivity", "10.5"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--sensitivity", "0.09"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--sensitivity", "fast"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--volume", "101"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--volume", "50%"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--hints", "maybe"}, 2, 0, {0, 0, 0, 0, 0, 0}},
        {{"balltoss", "--fullscreen"}, 2, 0, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::string name = c.args.back();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        GameOptions options;
        int status = ParseOptions((int)c.args.size(), (char**)c.args.data(), &options);
        std::string out = testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, c.status) << name;
        EXPECT_EQ(out, "") << name;
        if (status == kOptionsPlay) {
            EXPECT_EQ(options.given, c.given) << name;
            const Settings& s = options.settings;
            EXPECT_EQ(s.windowed, c.named.windowed) << name;
            EXPECT_EQ(s.anisotropy, c.named.anisotropy) << name;
            EXPECT_EQ(s.sensitivity, c.named.sensitivity) << name;
            EXPECT_EQ(s.invertMouse, c.named.invertMouse) << name;
            EXPECT_EQ(s.volume, c.named.volume) << name;
            EXPECT_EQ(s.hints, c.named.hints) << name;
            EXPECT_EQ(err, "") << name;
        } else {
            // One line naming the problem, then the usage listing every option.
            EXPECT_EQ(err.rfind("balltoss: ", 0), 0u) << err;
            EXPECT_NE(err.find("Usage: balltoss"), std::string::npos) << err;
            EXPECT_NE(err.find("--anisotropy N"), std::string::npos) << err;
            EXPECT_NE(err.find("--sensitivity X"), std::string::npos) << err;
            EXPECT_NE(err.find("invert_mouse"), std::string::npos) << err;
        }
    }
}

// A private $XDG_CONFIG_HOME and $XDG_DATA_HOME for each test.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/balltoss-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        path = root + "/config/balltoss/balltoss.conf";
    }
    void TearDown() override
    {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_DATA_HOME");
        std::filesystem::remove_all(root);
    }
    void Write(const std::string& text)
    {
        std::filesystem::create_directories(root + "/config/balltoss");
        std::ofstream(path) << text;
    }
    // The settings the game starts with for this command line, and the console.
    Settings Chosen(std::vector<const char*> args, std::string* console = nullptr)
    {
        args.insert(args.begin(), "balltoss");
        GameOptions options;
        EXPECT_EQ(ParseOptions((int)args.size(), (char**)args.data(), &options), kOptionsPlay);
        Settings settings;
        testing::internal::CaptureStdout();
        ChooseSettings(&options, &settings);
        std::string out = testing::internal::GetCapturedStdout();
        if (console)
            *console = out;
        else
            EXPECT_EQ(out, "");
        return settings;
    }
    std::string root, path;
};

TEST_F(SettingsFile, DefaultsThenTheFileThenTheCommandLine)
{
    // No file: the game as it always was, and nothing said.
    Settings s = Chosen({});
    EXPECT_EQ(s.windowed, 0);
    EXPECT_EQ(s.anisotropy, 0);
    EXPECT_EQ(s.sensitivity, 1.0f);
    EXPECT_EQ(s.invertMouse, 0);
    EXPECT_EQ(s.volume, 100);
    EXPECT_EQ(s.hints, kHintsFirstRound);

    Write("# mine\n; also a comment\nwindow = yes\nanisotropy=2\n  sensitivity = 3.5\n"
          "invert_mouse = yes ; inline comment\nvolume = 40\n\nhints = no\n");
    s = Chosen({});
    EXPECT_EQ(s.windowed, 1);
    EXPECT_EQ(s.anisotropy, 2);
    EXPECT_EQ(s.sensitivity, 3.5f);
    EXPECT_EQ(s.invertMouse, 1);
    EXPECT_EQ(s.volume, 40);
    EXPECT_EQ(s.hints, 0);

    // The command line wins for what it names; the file keeps the rest.
    s = Chosen({"--sensitivity", "0.5", "--volume", "90", "--anisotropy", "8"});
    EXPECT_EQ(s.sensitivity, 0.5f);
    EXPECT_EQ(s.volume, 90);
    EXPECT_EQ(s.anisotropy, 8);
    EXPECT_EQ(s.windowed, 1);
    EXPECT_EQ(s.invertMouse, 1);
    EXPECT_EQ(s.hints, 0);
    s = Chosen({"--hints", "yes"});
    EXPECT_EQ(s.hints, 1);

    // The [balltoss] section reads as the top of the file.
    Write("[balltoss]\nvolume = 7\ninvert_mouse = no\n");
    s = Chosen({"--invert-mouse"});
    EXPECT_EQ(s.volume, 7);
    EXPECT_EQ(s.invertMouse, 1);
}

TEST_F(SettingsFile, EachBadLineGetsOneLineWithFileLineAndKeyAndTheGamePlaysOn)
{
    Write("volume = 30\n"              // 1 good
          "sensitivity = 20\n"         // 2 out of range
          "volume = -1\n"              // 3 out of range: volume back to its default
          "anisotropy = 0\n"           // 4 out of range
          "window = maybe\n"           // 5 not yes or no
          "invert_mouse = yes\n"       // 6 good
          "sensitivity = fast\n"       // 7 not a number
          "volume = 5.5\n"             // 8 not whole
          "colour = red\n"             // 9 unknown key
          "just some words\n"          // 10 no key = value
          "[balltoss\n"                // 11 a section never closed
          "hints =\n"                  // 12 no value
          "[video]\n"                  // 13 another section
          "anisotropy = 4\n");         // 14 a key in it
    std::string console;
    Settings s = Chosen({}, &console);
    const std::string file = path + ":";
    const char* expected[] = {
        ":2: sensitivity = 20: out of range (0.1 to 10); the default is used",
        ":3: volume = -1: out of range (0 to 100); the default is used",
        ":4: anisotropy = 0: out of range (1 to 999999); the default is used",
        ":5: window = maybe: not yes or no; the default is used",
        ":7: sensitivity = fast: not a number; the default is used",
        ":8: volume = 5.5: not a whole number; the default is used",
        ":9: unknown key colour; ignored",
        ":12: hints = : not yes or no; the default is used",
        ":14: anisotropy is in section [video], not [balltoss]; ignored",
        ":10: \"just some words\" is not a key = value line; ignored",
        ":11: \"[balltoss\" is not a key = value line; ignored",
    };
    std::string want;
    for (const char* line : expected)
        want += path + line + "\n";
    EXPECT_EQ(console, want);
    EXPECT_EQ(s.sensitivity, 1.0f);
    EXPECT_EQ(s.volume, 100);
    EXPECT_EQ(s.anisotropy, 0);
    EXPECT_EQ(s.windowed, 0);
    EXPECT_EQ(s.invertMouse, 1);   // the good line stands
    EXPECT_EQ(s.hints, kHintsFirstRound);
}

TEST_F(SettingsFile, RangesTakeTheirEndsAndRefuseJustBeyond)
{
    const struct { const char* key; const char* value; bool taken; } cases[] = {
        {"sensitivity", "0.1", true}, {"sensitivity", "10", true},  {"sensitivity", "0.099", false},
        {"sensitivity", "10.01", false}, {"sensitivity", "nan", false}, {"sensitivity", "inf", false},
        {"sensitivity", "1e400", false}, {"sensitivity", "2x", false}, {"volume", "0", true},
        {"volume", "100", true},      {"volume", "101", false},    {"volume", "-1", false},
        {"anisotropy", "1", true},    {"anisotropy", "16", true},  {"anisotropy", "0", false},
        {"window", "yes", true},      {"window", "No", true},      {"window", "1", false},
        {"hints", "no", true},        {"hints", "", false},        {"volume", " 5", false},
    };
    for (const auto& c : cases) {
        Settings s;
        DefaultSettings(&s);
        Settings before = s;
        char why[96] = "";
        EXPECT_EQ(TakeSettingValue(c.key, c.value, &s, why, sizeof why) == 1, c.taken)
            << c.key << " = " << c.value << ": " << why;
        if (!c.taken) {
            EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0) << c.key << " = " << c.value;
        }
    }
}

TEST_F(SettingsFile, UnreadableFileGetsOneLineAndWrittenDefaultsReadBackSilently)
{
    // --write-config writes a file that reads back as the defaults, and never
    // writes over one.
    const char* args[] = {"balltoss", "--write-config"};
    GameOptions options;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ParseOptions(2, (char**)args, &options), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Wrote " + path + "\n");
    Settings s = Chosen({});
    Settings defaults;
    DefaultSettings(&defaults);
    EXPECT_EQ(std::memcmp(&s, &defaults, sizeof s), 0);
    std::ofstream(path, std::ios::app) << "volume = 12\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(ParseOptions(2, (char**)args, &options), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              path + " already exists; it is left as it is\n");
    EXPECT_EQ(Chosen({}).volume, 12);

    // A folder where the file should be cannot be read: one line, the defaults.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    std::string console;
    s = Chosen({}, &console);
    EXPECT_EQ(console, path + ": cannot be read (Is a directory); the defaults are used\n");
    EXPECT_EQ(std::memcmp(&s, &defaults, sizeof s), 0);
}

TEST_F(SettingsFile, AScoreIsKeptOnlyWhenTheScoresFileHasALine)
{
    const std::string folder = root + "/data/balltoss", scores = folder + "/scores.txt";
    EXPECT_EQ(ScoresKept(), 0);
    EXPECT_FALSE(std::filesystem::exists(root + "/data")) << "looking creates nothing";
    std::filesystem::create_directories(folder);
    std::ofstream(scores) << "";
    EXPECT_EQ(ScoresKept(), 0);
    std::ofstream(scores) << "\n";
    EXPECT_EQ(ScoresKept(), 0);
    std::ofstream(scores) << "1250 2024-05-01\n";
    EXPECT_EQ(ScoresKept(), 1);
}

TEST_F(SettingsFile, TheHintOpensAPlayersFirstRoundOnlyUnlessTheSettingsSay)
{
    Settings s;
    DefaultSettings(&s);
    EXPECT_EQ(HintWanted(&s, 0), 1);   // a new player
    EXPECT_EQ(HintWanted(&s, 1), 0);   // played again
    s.hints = 0;
    EXPECT_EQ(HintWanted(&s, 0), 0);
    s.hints = 1;
    EXPECT_EQ(HintWanted(&s, 3), 1);
    std::filesystem::create_directories(root + "/data/balltoss");
    std::ofstream(root + "/data/balltoss/scores.txt") << "300\n";
    EXPECT_EQ(HintWanted(&s, 0), 1);
    s.hints = kHintsFirstRound;
    EXPECT_EQ(HintWanted(&s, 0), 0);   // a player with a score kept
}
