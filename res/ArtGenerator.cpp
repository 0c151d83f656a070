// Writes the launcher's pictures: the six progress-bar bitmaps (24-bit BMP)
// and the program icon (16, 32 and 48 pixels, each in 256 colours and in
// 32-bit colour). A host program run by the build:  kwo-art OUTPUT-FOLDER
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t)
{
    return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

uint8_t Channel(double v)
{
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

// A picture as rows from the top, each pixel an RGB colour and a coverage.
struct Picture {
    int width = 0, height = 0;
    std::vector<Rgb> colour;
    std::vector<double> alpha;

    Picture(int w, int h) : width(w), height(h), colour(size_t(w) * h, Rgb{0, 0, 0}), alpha(size_t(w) * h, 1.0) {}
    Rgb& At(int x, int y) { return colour[size_t(y) * width + x]; }
    double& Alpha(int x, int y) { return alpha[size_t(y) * width + x]; }
};

void Put16(std::string& out, unsigned v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// BITMAPINFOHEADER; for icon images the height counts the colour and mask rows.
void PutInfoHeader(std::string& out, int width, int height, int bits, uint32_t imageSize, uint32_t colours)
{
    Put32(out, 40);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));
    Put16(out, 1);
    Put16(out, unsigned(bits));
    Put32(out, 0);  // BI_RGB
    Put32(out, imageSize);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, colours);
    Put32(out, 0);
}

// 24-bit rows, bottom row first, each padded to four bytes.
std::string Rows24(Picture& picture)
{
    std::string rows;
    const int stride = (picture.width * 3 + 3) & ~3;
    for (int y = picture.height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < picture.width; ++x) {
            const Rgb c = picture.At(x, y);
            row += char(Channel(c.b));
            row += char(Channel(c.g));
            row += char(Channel(c.r));
        }
        row.resize(size_t(stride), '\0');
        rows += row;
    }
    return rows;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out.good()) {
        std::fprintf(stderr, "kwo-art: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

void WriteBitmap(const std::string& path, Picture& picture)
{
    const std::string rows = Rows24(picture);
    std::string file = "BM";
    Put32(file, uint32_t(14 + 40 + rows.size()));
    Put32(file, 0);
    Put32(file, 14 + 40);
    PutInfoHeader(file, picture.width, picture.height, 24, uint32_t(rows.size()), 0);
    file += rows;
    WriteFile(path, file);
}

// The groove: a grey ramp from RGB(24, 25, 28) at the top to RGB(234, 235, 235)
// at the bottom.
Rgb TrackColour(int row)
{
    return Mix(Rgb{24, 25, 28}, Rgb{234, 235, 235}, row / 19.0);
}

// The fill: RGB(44, 64, 67) at the top, brightest RGB(235, 255, 255) in row 6,
// RGB(182, 206, 207) at the bottom.
Rgb FillColour(int row)
{
    if (row <= 6)
        return Mix(Rgb{44, 64, 67}, Rgb{235, 255, 255}, row / 6.0);
    return Mix(Rgb{235, 255, 255}, Rgb{182, 206, 207}, (row - 6) / 13.0);
}

// What shows around the rounded ends: the window's gradient near the bar.
const Rgb kBehindTrack = {212, 212, 205};

// Share of pixel (x, y) inside a rounded end whose round side faces left, with
// the given radius, over a piece of the given width (supersampled 4 x 4).
double LeftRoundCoverage(int x, int y, int width, int height, double radius)
{
    int inside = 0;
    for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
            const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
            const double cx = radius, cyTop = radius, cyBottom = height - radius;
            bool in = px >= 0 && px <= width && py >= 0 && py <= height;
            if (in && px < cx && py < cyTop)
                in = std::hypot(px - cx, py - cyTop) <= radius;
            if (in && px < cx && py > cyBottom)
                in = std::hypot(px - cx, py - cyBottom) <= radius;
            inside += in ? 1 : 0;
        }
    return inside / 16.0;
}

Picture Column(Rgb (*colour)(int))
{
    Picture picture(1, 20);
    for (int y = 0; y < 20; ++y)
        picture.At(0, y) = colour(y);
    return picture;
}

// A rounded end facing left, drawn over `behind` (a colour per row).
Picture LeftEnd(int width, Rgb (*colour)(int), Rgb (*behind)(int), double radius)
{
    Picture picture(width, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < width; ++x)
            picture.At(x, y) = Mix(behind(y), colour(y), LeftRoundCoverage(x, y, width, 20, radius));
    return picture;
}

Picture Mirror(const Picture& source)
{
    Picture picture(source.width, source.height);
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x)
            picture.colour[size_t(y) * source.width + x] = source.colour[size_t(y) * source.width + (source.width - 1 - x)];
    return picture;
}

Rgb BehindTrack(int)
{
    return kBehindTrack;
}

// ---- the icon: a teal rounded square with a white arrow into a tray ----

double Coverage(double size, double x, double y, bool (*inside)(double, double))
{
    int hits = 0;
    for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
            hits += inside((x + (sx + 0.5) / 4) / size, (y + (sy + 0.5) / 4) / size) ? 1 : 0;
    return hits / 16.0;
}

bool InBadge(double u, double v)
{
    const double r = 0.18, lo = 0.04, hi = 0.96;
    if (u < lo || u > hi || v < lo || v > hi)
        return false;
    const double cx = std::clamp(u, lo + r, hi - r), cy = std::clamp(v, lo + r, hi - r);
    return std::hypot(u - cx, v - cy) <= r;
}

bool InArrow(double u, double v)
{
    if (u >= 0.42 && u <= 0.58 && v >= 0.16 && v <= 0.50)
        return true;  // shaft
    if (v >= 0.44 && v <= 0.66)
        return std::fabs(u - 0.5) <= (0.66 - v) * 1.05;  // head
    return false;
}

bool InTray(double u, double v)
{
    const bool base = v >= 0.74 && v <= 0.84 && u >= 0.20 && u <= 0.80;
    const bool sides = v >= 0.60 && v <= 0.84 && ((u >= 0.20 && u <= 0.29) || (u >= 0.71 && u <= 0.80));
    return base || sides;
}

Picture IconPicture(int size)
{
    Picture picture(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double badge = Coverage(size, x, y, InBadge);
            const double mark = std::max(Coverage(size, x, y, InArrow), Coverage(size, x, y, InTray));
            const Rgb top = {40, 150, 160}, bottom = {18, 78, 92};
            const Rgb base = Mix(top, bottom, (y + 0.5) / size);
            picture.At(x, y) = Mix(base, Rgb{250, 252, 252}, mark);
            picture.Alpha(x, y) = badge;
        }
    return picture;
}

// The 256-colour palette: a 6 x 6 x 6 cube, then 40 greys.
std::vector<Rgb> Palette()
{
    std::vector<Rgb> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back(Rgb{r * 51.0, g * 51.0, b * 51.0});
    for (int i = 0; i < 40; ++i)
        palette.push_back(Rgb{i * 255.0 / 39, i * 255.0 / 39, i * 255.0 / 39});
    return palette;
}

int Nearest(const std::vector<Rgb>& palette, Rgb c)
{
    int best = 0;
    double bestDistance = 1e9;
    for (size_t i = 0; i < palette.size(); ++i) {
        const double d = std::pow(palette[i].r - c.r, 2) + std::pow(palette[i].g - c.g, 2) +
                         std::pow(palette[i].b - c.b, 2);
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

// The AND mask, 1 bit a pixel, bottom row first, rows padded to four bytes:
// set where the pixel is transparent.
std::string MaskRows(Picture& picture)
{
    std::string rows;
    const int stride = ((picture.width + 31) / 32) * 4;
    for (int y = picture.height - 1; y >= 0; --y) {
        std::string row(size_t(stride), '\0');
        for (int x = 0; x < picture.width; ++x)
            if (picture.Alpha(x, y) < 0.5)
                row[size_t(x / 8)] = char(uint8_t(row[size_t(x / 8)]) | (0x80 >> (x % 8)));
        rows += row;
    }
    return rows;
}

std::string IconImage8(Picture& picture)
{
    const std::vector<Rgb> palette = Palette();
    std::string pixels;
    const int stride = (picture.width + 3) & ~3;
    for (int y = picture.height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < picture.width; ++x)
            row += char(picture.Alpha(x, y) < 0.5 ? 0 : Nearest(palette, picture.At(x, y)));
        row.resize(size_t(stride), '\0');
        pixels += row;
    }
    const std::string mask = MaskRows(picture);
    std::string image;
    PutInfoHeader(image, picture.width, picture.height * 2, 8, uint32_t(pixels.size() + mask.size()), 256);
    for (const Rgb& c : palette) {
        image += char(Channel(c.b));
        image += char(Channel(c.g));
        image += char(Channel(c.r));
        image += '\0';
    }
    return image + pixels + mask;
}

std::string IconImage32(Picture& picture)
{
    std::string pixels;
    for (int y = picture.height - 1; y >= 0; --y)
        for (int x = 0; x < picture.width; ++x) {
            const Rgb c = picture.At(x, y);
            pixels += char(Channel(c.b));
            pixels += char(Channel(c.g));
            pixels += char(Channel(c.r));
            pixels += char(Channel(picture.Alpha(x, y) * 255));
        }
    const std::string mask = MaskRows(picture);
    std::string image;
    PutInfoHeader(image, picture.width, picture.height * 2, 32, uint32_t(pixels.size() + mask.size()), 0);
    return image + pixels + mask;
}

void WriteIcon(const std::string& path)
{
    struct Image {
        int size, bits;
        std::string bytes;
    };
    std::vector<Image> images;
    for (int bits : {8, 32})
        for (int size : {16, 32, 48}) {
            Picture picture = IconPicture(size);
            images.push_back(Image{size, bits, bits == 8 ? IconImage8(picture) : IconImage32(picture)});
        }
    std::string file;
    Put16(file, 0);
    Put16(file, 1);  // icon
    Put16(file, unsigned(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (const Image& image : images) {
        file += char(image.size);
        file += char(image.size);
        file += char(0);  // 256 colours or more
        file += char(0);
        Put16(file, 1);
        Put16(file, unsigned(image.bits));
        Put32(file, uint32_t(image.bytes.size()));
        Put32(file, offset);
        offset += uint32_t(image.bytes.size());
    }
    for (const Image& image : images)
        file += image.bytes;
    WriteFile(path, file);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kwo-art OUTPUT-FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";

    Picture trackColumn = Column(TrackColour);
    Picture trackLeft = LeftEnd(6, TrackColour, BehindTrack, 5.0);
    Picture trackRight = Mirror(trackLeft);
    Picture fillColumn = Column(FillColour);
    Picture fillLeft = LeftEnd(5, FillColour, TrackColour, 4.0);
    Picture fillRight = Mirror(fillLeft);

    WriteBitmap(folder + "track-column.bmp", trackColumn);  // 129
    WriteBitmap(folder + "track-right.bmp", trackRight);    // 130
    WriteBitmap(folder + "track-left.bmp", trackLeft);      // 131
    WriteBitmap(folder + "fill-left.bmp", fillLeft);        // 132
    WriteBitmap(folder + "fill-right.bmp", fillRight);      // 133
    WriteBitmap(folder + "fill-column.bmp", fillColumn);    // 134
    WriteIcon(folder + "KwoWardenSetup.ico");
    return 0;
}
