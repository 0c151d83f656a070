// The on-disk sizes and marks of a resource tree, shared by its reader and
// its builder (format notes in ResourceTree.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ResourceLayout {

constexpr uint32_t kHighBit = 0x80000000u;  // a name string, or a subtable
constexpr size_t kTableHeaderSize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr uint64_t kDataAlignment = 8;

}  // namespace ResourceLayout
