// A program's icon: an icon group resource (RT_GROUP_ICON) that lists icon
// images (RT_ICON), made from an icon file (.ico).
//
// Format notes. All integers little-endian.
//   .ico file     6 bytes: reserved (0), type (1 for icons, 2 for cursors),
//                 image count; then per image 16 bytes: width, height
//                 (8 bits each, 0 meaning 256), colour count, reserved,
//                 planes, bits per pixel (16 bits each), image size and
//                 file offset (32 bits each). An image is a DIB
//                 (BITMAPINFOHEADER, colour table, colour and mask bits) or a
//                 PNG file.
//   group         the same 6-byte header, then per image 14 bytes: the first
//                 twelve bytes of the file's entry and, instead of the
//                 offset, the 16-bit RT_ICON id of the image.
//   RT_ICON       the image bytes as they are in the file.
// Resource compilers store a zero planes field as 1 and a zero bit count as
// the bits that the colour count needs; so does this code, so that a group
// made here equals the one windres makes from the same file.
#pragma once

#include "tools/kwz/pe/ResourceTree.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kIconType = 3;        // RT_ICON
constexpr uint32_t kIconGroupType = 14;  // RT_GROUP_ICON
constexpr uint32_t kProgramIconGroup = 108;  // the launcher's window and file icon

struct CIconImage {
    uint8_t width = 0;   // 0 means 256
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint8_t reserved = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    std::string bytes;
};

// The images of an icon file, in file order. Raises "IconError" naming
// fileName and what is wrong when it is not an icon file with at least one
// image, or an image lies outside it or is neither a DIB nor a PNG.
std::vector<CIconImage> ReadIconFile(const std::string& file, const std::string& fileName);

// Makes images the icon group groupId of tree. The old group's images go,
// unless another group also lists them; the new ones take the lowest free
// RT_ICON ids, and the group and its images the language the old group had
// (neutral when there was none). The same tree and images always give the
// same tree, so restamping an icon changes nothing. Raises "IconError" when
// the ids would run out.
void SetIconGroup(CResourceTree& tree, uint32_t groupId, const std::vector<CIconImage>& images);

// The RT_ICON ids that group data lists; none when it is not a group.
std::vector<uint32_t> IconGroupMembers(const std::string& group);
