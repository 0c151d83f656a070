#include "tools/kwz/StubCheck.h"

#include "tools/kwz/pe/ResourceTree.h"

#include <cstdint>

namespace {

constexpr uint32_t kStringType = 6;  // RT_STRING
constexpr uint32_t kBitmapType = 2;  // RT_BITMAP
constexpr uint32_t kClassNameString = 109;
const char kClassName[] = "KWOINC.KWOWARDEN.SETUP.20";
constexpr uint32_t kFirstBitmap = 129;
constexpr uint32_t kLastBitmap = 134;

// String id of a string table: blocks of 16, block n + 1 holding ids 16n to
// 16n + 15, each a 16-bit length and that many UTF-16 units, in order.
bool StringIs(const CResourceTree& tree, uint32_t id, const char* expected)
{
    const CResourceData* block = FindResource(tree, CResourceId::Number(kStringType), CResourceId::Number(id / 16 + 1));
    if (block == nullptr)
        return false;
    const std::string& bytes = block->bytes;
    size_t at = 0;
    for (uint32_t index = 0;; ++index) {
        if (at > bytes.size() || bytes.size() - at < 2)
            return false;
        const size_t length = static_cast<uint8_t>(bytes[at]) | static_cast<size_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
        at += 2;
        if (bytes.size() - at < length * 2)
            return false;
        if (index == id % 16) {
            std::string text;
            for (size_t i = 0; i < length; ++i) {
                const unsigned unit = static_cast<uint8_t>(bytes[at + 2 * i]) | static_cast<uint8_t>(bytes[at + 2 * i + 1]) << 8;
                text += unit < 0x80 ? static_cast<char>(unit) : '?';
            }
            return text == expected;
        }
        at += length * 2;
    }
}

}  // namespace

std::string MissingLauncherResources(const CPeImage& image)
{
    const CResourceTree tree = ReadResourceTree(image);
    std::string missing;
    if (!StringIs(tree, kClassNameString, kClassName))
        missing = "string 109 holding the window class name " + std::string(kClassName);
    std::string bitmaps;
    for (uint32_t id = kFirstBitmap; id <= kLastBitmap; ++id)
        if (FindResource(tree, CResourceId::Number(kBitmapType), CResourceId::Number(id)) == nullptr)
            bitmaps += (bitmaps.empty() ? "" : ", ") + std::to_string(id);
    if (!bitmaps.empty())
        missing += (missing.empty() ? "" : "; ") + std::string("the progress bar's bitmaps (missing: ") + bitmaps + ")";
    return missing;
}
