// pixels.cpp -- counts the pixels of a screenshot that satisfy a condition, the
// end-to-end scripts' most frequent question, at C++ speed (ImageMagick's -fx
// interprets its expression per pixel and channel: a second a full screen).
//   e2e_pixels count SHOT.png WxH+X+Y EXPR   the number of pixels of the region
//   e2e_pixels box SHOT.png WxH+X+Y EXPR     "X Y W H" of the smallest box round
//                                            them, from the region's top-left
//                                            ("-1 -1 0 0" when there are none)
// EXPR is written as for -fx: r, g and b from 0 to 1, numbers, + - * /,
// < > <= >= == !=, && ||, !, min(a,b), max(a,b), abs(a) and parentheses. A pixel
// counts by its value clamped to 0..1, as -fx's mean does, so a condition
// counts 1 a pixel.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

// ---- the expression, parsed once into a tree -----------------------------------

struct Node {
    char op;   // 'n' number, 'r' 'g' 'b', unary '-' '!' (right only), binary ops,
               // 'm' min, 'M' max, 'a' abs; '<' '>' 'l' (<=) 'G' (>=) 'e' (==) 'N' (!=) '&' '|'
    double value;
    int left, right;
};

static std::vector<Node> nodes;
static const char* at;
static const char* expression;

[[noreturn]] static void Fail(const char* what)
{
    std::fprintf(stderr, "e2e_pixels: %s at \"%s\" in \"%s\"\n", what, at, expression);
    std::exit(2);
}

static int Add(char op, double value, int left, int right)
{
    nodes.push_back(Node{op, value, left, right});
    return (int)nodes.size() - 1;
}

static void Blanks()
{
    while (*at == ' ')
        ++at;
}

static bool Take(const char* token)
{
    Blanks();
    size_t n = std::strlen(token);
    if (std::strncmp(at, token, n) != 0)
        return false;
    at += n;
    return true;
}

static int Or();

static int Primary()
{
    Blanks();
    if (Take("(")) {
        int e = Or();
        if (!Take(")"))
            Fail("no closing parenthesis");
        return e;
    }
    if (Take("-"))
        return Add('-', 0.0, -1, Primary());
    if (Take("!"))
        return Add('!', 0.0, -1, Primary());
    static const struct { const char* name; char op; int args; } functions[] = {
        {"min(", 'm', 2}, {"max(", 'M', 2}, {"abs(", 'a', 1}};
    for (const auto& f : functions) {
        if (!Take(f.name))
            continue;
        int a = Or();
        int b = -1;
        if (f.args == 2 && (!Take(",") || (b = Or()) < 0))
            Fail("a function of two arguments");
        if (!Take(")"))
            Fail("no closing parenthesis");
        return Add(f.op, 0.0, a, b);
    }
    if (*at == 'r' || *at == 'g' || *at == 'b')
        return Add(*at++, 0.0, -1, -1);
    char* end = nullptr;
    double value = std::strtod(at, &end);
    if (end == at)
        Fail("not a number, channel or function");
    at = end;
    return Add('n', value, -1, -1);
}

static int Product()
{
    int e = Primary();
    for (;;) {
        if (Take("*"))
            e = Add('*', 0.0, e, Primary());
        else if (Take("/"))
            e = Add('/', 0.0, e, Primary());
        else
            return e;
    }
}

static int Sum()
{
    int e = Product();
    for (;;) {
        if (Take("+"))
            e = Add('+', 0.0, e, Product());
        else if (Take("-"))
            e = Add('_', 0.0, e, Product());
        else
            return e;
    }
}

static int Comparison()
{
    int e = Sum();
    static const struct { const char* token; char op; } comparisons[] = {
        {"<=", 'l'}, {">=", 'G'}, {"==", 'e'}, {"!=", 'N'}, {"<", '<'}, {">", '>'}};
    for (const auto& c : comparisons)
        if (Take(c.token))
            return Add(c.op, 0.0, e, Sum());
    return e;
}

static int And()
{
    int e = Comparison();
    while (Take("&&"))
        e = Add('&', 0.0, e, Comparison());
    return e;
}

static int Or()
{
    int e = And();
    while (Take("||"))
        e = Add('|', 0.0, e, And());
    return e;
}

static double Eval(int i, const double* rgb)
{
    const Node& n = nodes[(size_t)i];
    switch (n.op) {
    case 'n': return n.value;
    case 'r': return rgb[0];
    case 'g': return rgb[1];
    case 'b': return rgb[2];
    case '!': return Eval(n.right, rgb) == 0.0 ? 1.0 : 0.0;
    case 'a': return std::fabs(Eval(n.left, rgb));
    default: break;
    }
    double a = n.left >= 0 ? Eval(n.left, rgb) : 0.0;
    double b = Eval(n.right, rgb);
    switch (n.op) {
    case '-': return -b;
    case '+': return a + b;
    case '_': return a - b;
    case '*': return a * b;
    case '/': return b == 0.0 ? 0.0 : a / b;
    case 'm': return std::min(a, b);
    case 'M': return std::max(a, b);
    case '<': return a < b;
    case '>': return a > b;
    case 'l': return a <= b;
    case 'G': return a >= b;
    case 'e': return a == b;
    case 'N': return a != b;
    case '&': return a != 0.0 && b != 0.0;
    case '|': return a != 0.0 || b != 0.0;
    default: return 0.0;
    }
}

int main(int argc, char** argv)
{
    if (argc != 5 || (std::strcmp(argv[1], "count") != 0 && std::strcmp(argv[1], "box") != 0)) {
        std::fprintf(stderr, "usage: e2e_pixels count|box SHOT.png WxH+X+Y EXPR\n");
        return 2;
    }
    int w = 0, h = 0, x0 = 0, y0 = 0;
    if (std::sscanf(argv[3], "%dx%d+%d+%d", &w, &h, &x0, &y0) != 4 || w < 0 || h < 0) {
        std::fprintf(stderr, "e2e_pixels: not a region: %s\n", argv[3]);
        return 2;
    }
    expression = at = argv[4];
    int root = Or();
    Blanks();
    if (*at)
        Fail("left over");
    int width = 0, height = 0, channels = 0;
    unsigned char* image = stbi_load(argv[2], &width, &height, &channels, 3);
    if (!image) {
        std::fprintf(stderr, "e2e_pixels: cannot read %s: %s\n", argv[2], stbi_failure_reason());
        return 2;
    }
    // The region as ImageMagick's -crop takes it: clipped to the picture.
    int left = std::max(x0, 0), top = std::max(y0, 0);
    int right = std::min(x0 + w, width), bottom = std::min(y0 + h, height);
    double sum = 0.0;
    int boxLeft = right, boxTop = bottom, boxRight = -1, boxBottom = -1;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const unsigned char* p = image + 3 * ((size_t)y * (size_t)width + (size_t)x);
            double rgb[3] = {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0};
            double v = std::min(1.0, std::max(0.0, Eval(root, rgb)));
            sum += v;
            if (v > 0.0) {
                boxLeft = std::min(boxLeft, x);
                boxRight = std::max(boxRight, x);
                boxTop = std::min(boxTop, y);
                boxBottom = std::max(boxBottom, y);
            }
        }
    stbi_image_free(image);
    if (argv[1][0] == 'c')
        std::printf("%.0f\n", std::round(sum));
    else if (boxRight < 0)
        std::printf("-1 -1 0 0\n");
    else
        std::printf("%d %d %d %d\n", boxLeft - left, boxTop - top, boxRight - boxLeft + 1,
                    boxBottom - boxTop + 1);
    return 0;
}
