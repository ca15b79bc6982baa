// options_test.cpp -- the command line: what each option sets, and what is refused.
#include "game/game.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(Options, EachOptionSetsItsFieldAndBadOnesEndWithTheUsageAndStatusTwo)
{
    struct Case {
        std::vector<const char*> args;
        int status;        // kOptionsPlay, or the exit status
        int windowed;
        float anisotropy;
    };
    const Case cases[] = {
        {{"balltoss"}, kOptionsPlay, 0, 0.0f},
        {{"balltoss", "--anisotropy", "1"}, kOptionsPlay, 0, 1.0f},
        {{"balltoss", "--window", "--anisotropy", "4"}, kOptionsPlay, 1, 4.0f},
        {{"balltoss", "--anisotropy", "0"}, 2, 0, 0.0f},
        {{"balltoss", "--anisotropy", "-2"}, 2, 0, 0.0f},
        {{"balltoss", "--anisotropy", "2.5"}, 2, 0, 0.0f},
        {{"balltoss", "--anisotropy", "99999999999"}, 2, 0, 0.0f},
        {{"balltoss", "--anisotropy"}, 2, 0, 0.0f},
        {{"balltoss", "--fullscreen"}, 2, 0, 0.0f},
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
            EXPECT_EQ(options.windowed, c.windowed) << name;
            EXPECT_EQ(options.anisotropy, c.anisotropy) << name;
            EXPECT_EQ(err, "") << name;
        } else {
            // One line naming the problem, then the usage listing every option.
            EXPECT_EQ(err.rfind("balltoss: ", 0), 0u) << err;
            EXPECT_NE(err.find("Usage: balltoss"), std::string::npos) << err;
            EXPECT_NE(err.find("--anisotropy N"), std::string::npos) << err;
        }
    }
}
