// Archive images for tests, built field by field independently of the
// packer's writer, so that either can catch the other's mistakes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ArchiveImages {

inline std::string U32(uint32_t v)
{
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                       static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
}

inline void PutU32(std::string& image, size_t at, uint32_t v)
{
    image.replace(at, 4, U32(v));
}

inline std::string Signature()
{
    return std::string("KwoIncorporated.Archive.KWAR", 29);  // with its NUL
}

// The layout the packer writes: data directly after the directory, in order.
inline std::string Canonical(const std::vector<std::pair<std::string, std::string>>& files)
{
    uint32_t directoryEnd = 37;
    for (const auto& file : files)
        directoryEnd += static_cast<uint32_t>(12 + file.first.size() + 1);
    std::string image = Signature() + U32(directoryEnd) + U32(static_cast<uint32_t>(files.size()));
    uint32_t offset = directoryEnd;
    for (const auto& file : files) {
        image += U32(static_cast<uint32_t>(file.first.size() + 1)) + file.first + '\0';
        image += U32(static_cast<uint32_t>(file.second.size())) + U32(offset);
        offset += static_cast<uint32_t>(file.second.size());
    }
    for (const auto& file : files)
        image += file.second;
    return image;
}

}  // namespace ArchiveImages
