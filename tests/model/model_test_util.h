// model_test_util.h -- temporary files and console capture for the model tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// A fresh directory under /tmp, removed with its files at the end of the test.
struct TempDir {
    std::string path;
    TempDir()
    {
        char name[] = "/tmp/balltoss-model-XXXXXX";
        path = mkdtemp(name) ? name : "/tmp";
    }
    ~TempDir()
    {
        std::string command = "rm -rf '" + path + "'";
        if (path != "/tmp" && std::system(command.c_str()) != 0)
            std::perror("rm");
    }
    std::string Write(const std::string& name, const std::string& text) const
    {
        std::string file = path + "/" + name;
        FILE* out = std::fopen(file.c_str(), "wb");
        EXPECT_NE(out, nullptr);
        if (out) {
            std::fwrite(text.data(), 1, text.size(), out);
            std::fclose(out);
        }
        return file;
    }
};

// Lines the console got (ConsolePrint writes standard output).
inline int CountLines(const std::string& text)
{
    return (int)std::count(text.begin(), text.end(), '\n');
}
