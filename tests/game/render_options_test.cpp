// render_options_test.cpp -- the rendering options read from the command line.
#include "game/game.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(RenderOptions, AnisotropyIsAWholeNumberFromOne)
{
    struct Case {
        std::vector<const char*> args;
        int ok;
        float anisotropy;
    };
    const Case cases[] = {
        {{"balltoss"}, 1, 0.0f},
        {{"balltoss", "--anisotropy", "1"}, 1, 1.0f},
        {{"balltoss", "--window", "--anisotropy=4"}, 1, 4.0f},
        {{"balltoss", "--anisotropy", "0"}, 0, 0.0f},
        {{"balltoss", "--anisotropy", "-2"}, 0, 0.0f},
        {{"balltoss", "--anisotropy", "2.5"}, 0, 0.0f},
        {{"balltoss", "--anisotropy", "99999999999"}, 0, 0.0f},
        {{"balltoss", "--anisotropy"}, 0, 0.0f},
        {{"balltoss", "--anisotropy="}, 0, 0.0f},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        RenderOptions options = {-1.0f};
        int ok = ParseRenderOptions((int)c.args.size(), c.args.data(), &options);
        std::string console = testing::internal::GetCapturedStdout();
        std::string name = c.args.size() > 1 ? c.args.back() : "(none)";
        EXPECT_EQ(ok, c.ok) << name;
        if (ok) {
            EXPECT_EQ(options.anisotropy, c.anisotropy) << name;
            EXPECT_EQ(console, "") << name;
        } else {
            EXPECT_NE(console.find("--anisotropy needs a whole number"), std::string::npos) << name;
            EXPECT_EQ(console.find('\n'), console.size() - 1) << "one line: " << console;
        }
    }
}
