#include "tools/kwz/pe/IconGroup.h"

#include "tools/kwz/pe/PeFormat.h"

#include "base/KwoException.h"

#include <set>

using Pe::Get16;
using Pe::Get32;

namespace {

constexpr size_t kHeaderSize = 6;
constexpr size_t kFileEntrySize = 16;
constexpr size_t kGroupEntrySize = 14;
constexpr uint16_t kIconResourceType = 1;
constexpr uint16_t kCursorResourceType = 2;
constexpr uint32_t kDibHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t kLargestIconId = 0xFFFF;
const char kPngSignature[] = "\x89PNG\r\n\x1A\n";

[[noreturn]] void Refuse(const std::string& fileName, const std::string& text)
{
    ThrowError("IconError", (fileName + ": " + text).c_str(), 0, 0);
}

bool IsDib(const std::string& image)
{
    return image.size() >= kDibHeaderSize && Get32(image, 0) >= kDibHeaderSize;
}

bool IsPng(const std::string& image)
{
    return image.compare(0, 8, kPngSignature, 8) == 0;
}

// What windres stores for a zero bit count: the bits the colours need.
uint16_t BitsForColors(uint8_t colors)
{
    uint16_t bits = 0;
    while ((1u << bits) < colors)
        ++bits;
    return bits;
}

std::string GroupBytes(const std::vector<CIconImage>& images, const std::vector<uint32_t>& ids)
{
    std::string group(kHeaderSize + kGroupEntrySize * images.size(), '\0');
    Pe::Put16(group, 2, kIconResourceType);
    Pe::Put16(group, 4, static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const CIconImage& image = images[i];
        const size_t at = kHeaderSize + kGroupEntrySize * i;
        group[at] = static_cast<char>(image.width);
        group[at + 1] = static_cast<char>(image.height);
        group[at + 2] = static_cast<char>(image.colorCount);
        group[at + 3] = static_cast<char>(image.reserved);
        Pe::Put16(group, at + 4, image.planes);
        Pe::Put16(group, at + 6, image.bitCount);
        Pe::Put32(group, at + 8, static_cast<uint32_t>(image.bytes.size()));
        Pe::Put16(group, at + 12, ids[i]);
    }
    return group;
}

}  // namespace

std::vector<CIconImage> ReadIconFile(const std::string& file, const std::string& fileName)
{
    if (file.size() < kHeaderSize || Get16(file, 0) != 0 ||
        (Get16(file, 2) != kIconResourceType && Get16(file, 2) != kCursorResourceType))
        Refuse(fileName, "not an icon file (.ico)");
    if (Get16(file, 2) == kCursorResourceType)
        Refuse(fileName, "a cursor file (.cur), not an icon file (.ico)");
    const size_t count = Get16(file, 4);
    if (count == 0)
        Refuse(fileName, "an icon file without images");
    if (!Pe::Fits(kHeaderSize, kFileEntrySize * count, file.size()))
        Refuse(fileName, "truncated (the directory of " + std::to_string(count) + " images runs past the end)");

    std::vector<CIconImage> images(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kHeaderSize + kFileEntrySize * i;
        const uint32_t size = Get32(file, at + 8);
        const uint32_t offset = Get32(file, at + 12);
        const std::string label = "image " + std::to_string(i + 1) + " of " + std::to_string(count);
        if (size == 0 || !Pe::Fits(offset, size, file.size()))
            Refuse(fileName, "truncated or damaged (" + label + " lies outside the file)");
        CIconImage& image = images[i];
        image.bytes = file.substr(offset, size);
        if (!IsDib(image.bytes) && !IsPng(image.bytes))
            Refuse(fileName, "damaged (" + label + " is neither a bitmap nor a PNG image)");
        image.width = static_cast<uint8_t>(file[at]);
        image.height = static_cast<uint8_t>(file[at + 1]);
        image.colorCount = static_cast<uint8_t>(file[at + 2]);
        image.reserved = static_cast<uint8_t>(file[at + 3]);
        image.planes = Get16(file, at + 4);
        image.bitCount = Get16(file, at + 6);
        if (image.planes == 0)
            image.planes = 1;
        if (image.bitCount == 0)
            image.bitCount = BitsForColors(image.colorCount);
    }
    return images;
}

std::vector<uint32_t> IconGroupMembers(const std::string& group)
{
    std::vector<uint32_t> ids;
    if (group.size() < kHeaderSize || Get16(group, 2) != kIconResourceType)
        return ids;
    const size_t count = Get16(group, 4);
    for (size_t i = 0; i < count && Pe::Fits(kHeaderSize + kGroupEntrySize * i, kGroupEntrySize, group.size()); ++i)
        ids.push_back(Get16(group, kHeaderSize + kGroupEntrySize * i + 12));
    return ids;
}

void SetIconGroup(CResourceTree& tree, uint32_t groupId, const std::vector<CIconImage>& images)
{
    const CResourceId groupType = CResourceId::Number(kIconGroupType);
    const CResourceId iconType = CResourceId::Number(kIconType);
    const CResourceId groupName = CResourceId::Number(groupId);

    // The old group's images go, unless another group lists them too.
    const CResourceData* old = FindResource(tree, groupType, groupName);
    const CResourceId language = old != nullptr ? old->language : CResourceId::Number(0);
    std::set<uint32_t> oldImages, stillListed;
    if (const CResourceType* groups = FindResourceType(tree, groupType))
        for (const CResourceName& n : groups->names)
            for (const CResourceData& d : n.languages)
                for (uint32_t id : IconGroupMembers(d.bytes))
                    (n.name == groupName ? oldImages : stillListed).insert(id);
    RemoveResource(tree, groupType, groupName);
    for (uint32_t id : oldImages)
        if (stillListed.count(id) == 0)
            RemoveResource(tree, iconType, CResourceId::Number(id));

    // The lowest ids no image has.
    std::set<uint32_t> taken;
    if (const CResourceType* icons = FindResourceType(tree, iconType))
        for (const CResourceName& n : icons->names)
            if (!n.name.named)
                taken.insert(n.name.number);
    std::vector<uint32_t> ids;
    for (uint32_t id = 1; ids.size() < images.size(); ++id) {
        if (id > kLargestIconId)
            ThrowError("IconError", "no free icon ids are left in the program", 0, 0);
        if (taken.count(id) == 0)
            ids.push_back(id);
    }

    for (size_t i = 0; i < images.size(); ++i) {
        CResourceData data;
        data.language = language;
        data.bytes = images[i].bytes;
        SetResource(tree, iconType, CResourceId::Number(ids[i]), std::move(data));
    }
    CResourceData group;
    group.language = language;
    group.bytes = GroupBytes(images, ids);
    SetResource(tree, groupType, groupName, std::move(group));
}
