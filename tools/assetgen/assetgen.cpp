// assetgen.cpp -- entry of the asset generator: writes every texture, model and
// sound of the game under the directory given on the command line.
#include "tools/assetgen/assetgen.h"

#include <cstdio>
#include <sys/stat.h>

static bool MakeDirectory(const std::string& path)
{
    if (mkdir(path.c_str(), 0755) == 0) {
        return true;
    }
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return true;
    }
    std::printf("assetgen: cannot create directory %s\n", path.c_str());
    return false;
}

static bool WriteTextures(const std::string& dir, const std::string& fontPath)
{
    Image image;
    bool ok = true;
    ok = ok && MakeFontImage(fontPath, &image) && WriteTga(dir + "/Text.tga", image, 32);
    MakeWallImage(&image);
    ok = ok && WriteTga(dir + "/Wall.tga", image, 24);
    ok = ok && MakeEightBallImage(fontPath, &image) && WriteTga(dir + "/eightball.tga", image, 24);
    // Wood2 is the pale lane maple, Wood1 the darker walnut of the frame and floor
    MakeWoodImage(&image, 4242, 0.93, 0.74, 0.48, 8);
    ok = ok && WriteTga(dir + "/Wood2.tga", image, 24);
    MakeWoodImage(&image, 1717, 0.62, 0.40, 0.24, 4);
    ok = ok && WriteTga(dir + "/Wood1.tga", image, 24);
    MakeBackboardImage(&image);
    ok = ok && WriteTga(dir + "/backboard.tga", image, 24);
    MakeCrosshairImage(&image);
    ok = ok && WriteTga(dir + "/Targ.tga", image, 32);
    ok = ok && MakePowerImage(fontPath, &image) && WriteTga(dir + "/Power.tga", image, 32);
    return ok;
}

// Where the player's eye starts every round: the table is drawn nearest first from here.
static const Point3 kStandingEye = {0.0, 2.0, 5.0};

static bool WriteModels(const std::string& dir)
{
    Mesh table;
    MakeTableMesh(&table);
    OrderMeshForDrawing(&table, kStandingEye);
    Mesh ball;
    MakeBallMesh(&ball);
    return WriteObj(dir + "/Table_Small2.obj", table, "Table") &&
           WriteObj(dir + "/Ball_small.obj", ball, "Ball");
}

static bool WriteSounds(const std::string& dir)
{
    return WriteWav(dir + "/Ball2Ball1.wav", MakeKnockSound(), kSampleRate) &&
           WriteWav(dir + "/Rolling.wav", MakeRollingSound(), kSampleRate) &&
           WriteWav(dir + "/Win1.wav", MakeWinSound(1), kSampleRate) &&
           WriteWav(dir + "/Win2.wav", MakeWinSound(2), kSampleRate) &&
           WriteWav(dir + "/Win3.wav", MakeWinSound(3), kSampleRate);
}

bool GenerateAssets(const std::string& root, const std::string& fontPath)
{
    return MakeDirectory(root) && MakeDirectory(root + "/Textures") &&
           MakeDirectory(root + "/Models") && MakeDirectory(root + "/Sound") &&
           WriteTextures(root + "/Textures", fontPath) && WriteModels(root + "/Models") &&
           WriteSounds(root + "/Sound") && MakeDirectory(root + "/desktop") &&
           WriteDesktopIcon(root + "/desktop/balltoss.png");
}

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::printf("usage: assetgen OUTPUT_ROOT [FONT_FILE]\n");
        return 2;
    }
    std::string font = argc == 3 ? argv[2]
                                 : "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
    if (!GenerateAssets(argv[1], font)) {
        return 1;
    }
    return 0;
}
