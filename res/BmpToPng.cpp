// Turns an uncompressed 24-bit BMP into a PNG (RGB, 8 bits a channel), for the
// window picture of the README. A host program:  kwo-bmp2png IN.bmp OUT.png
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

uint32_t Get32(const std::string& bytes, size_t at)
{
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

void PutBig32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((v >> shift) & 0xFF);
}

void PutChunk(std::string& png, const char* type, const std::string& data)
{
    PutBig32(png, uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    PutBig32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

int Fail(const char* text)
{
    std::fprintf(stderr, "kwo-bmp2png: %s\n", text);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kwo-bmp2png IN.bmp OUT.png\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bmp((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M')
        return Fail("not a BMP file");
    const uint32_t dataOffset = Get32(bmp, 10);
    const int32_t width = int32_t(Get32(bmp, 18));
    const int32_t rawHeight = int32_t(Get32(bmp, 22));
    const uint16_t bits = uint16_t(uint8_t(bmp[28]) | uint8_t(bmp[29]) << 8);
    const uint32_t compression = Get32(bmp, 30);
    const bool bottomUp = rawHeight > 0;
    const int32_t height = bottomUp ? rawHeight : -rawHeight;
    if (bits != 24 || compression != 0 || width <= 0 || width > 16384 || height <= 0 || height > 16384)
        return Fail("only uncompressed 24-bit BMP files are read");
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    if (dataOffset > bmp.size() || bmp.size() - dataOffset < stride * size_t(height))
        return Fail("the BMP file is cut short");

    // Filter type 0 for every row, then the RGB bytes.
    std::string raw;
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = dataOffset + stride * size_t(bottomUp ? height - 1 - y : y);
        raw += '\0';
        for (int32_t x = 0; x < width; ++x) {
            raw += bmp[row + size_t(x) * 3 + 2];
            raw += bmp[row + size_t(x) * 3 + 1];
            raw += bmp[row + size_t(x) * 3];
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<Bytef> packed(packedSize);
    if (compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 9) != Z_OK)
        return Fail("compression failed");

    std::string header;
    PutBig32(header, uint32_t(width));
    PutBig32(header, uint32_t(height));
    header += char(8);  // bits a channel
    header += char(2);  // RGB
    header += std::string(3, '\0');
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
    PutChunk(png, "IEND", "");
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(png.data(), std::streamsize(png.size()));
    return out.good() ? 0 : Fail("cannot write the PNG file");
}
