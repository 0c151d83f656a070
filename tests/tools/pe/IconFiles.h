// Icon files (.ico) for the tests, assembled here byte by byte: each image a
// square of one colour, 32 bits per pixel, fully opaque.
#pragma once

#include "tools/kwz/pe/PeFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace PeTest {

struct CSolidImage {
    int size;          // pixels square, 1 to 256
    uint32_t colour;   // 0xRRGGBB
};

// The DIB of one icon image: BITMAPINFOHEADER (its height counts the colour
// and the mask rows), the colour rows bottom up, then an all-zero mask.
inline std::string SolidDib(const CSolidImage& image)
{
    const uint32_t n = static_cast<uint32_t>(image.size);
    const uint32_t maskRow = (n + 31) / 32 * 4;
    std::string dib(40, '\0');
    Pe::Put32(dib, 0, 40);
    Pe::Put32(dib, 4, n);
    Pe::Put32(dib, 8, 2 * n);
    Pe::Put16(dib, 12, 1);
    Pe::Put16(dib, 14, 32);
    Pe::Put32(dib, 20, n * n * 4 + maskRow * n);
    std::string pixel(4, '\0');
    Pe::Put32(pixel, 0, 0xFF000000u | image.colour);
    for (uint32_t i = 0; i < n * n; ++i)
        dib += pixel;
    dib.append(maskRow * n, '\0');
    return dib;
}

// An icon file of images, in the given order.
inline std::string SolidIconFile(const std::vector<CSolidImage>& images)
{
    std::string file(6 + 16 * images.size(), '\0');
    Pe::Put16(file, 2, 1);
    Pe::Put16(file, 4, static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string dib = SolidDib(images[i]);
        const size_t at = 6 + 16 * i;
        file[at] = static_cast<char>(images[i].size & 0xFF);
        file[at + 1] = static_cast<char>(images[i].size & 0xFF);
        Pe::Put16(file, at + 4, 1);
        Pe::Put16(file, at + 6, 32);
        Pe::Put32(file, at + 8, static_cast<uint32_t>(dib.size()));
        Pe::Put32(file, at + 12, static_cast<uint32_t>(file.size()));
        file += dib;
    }
    return file;
}

}  // namespace PeTest
