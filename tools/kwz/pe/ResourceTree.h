// The resource tree of a PE file: types, names in each type, languages of
// each name, and the data of each language.
//
// Format notes. The tree lives at the resource directory's RVA; every offset
// inside it counts from there, except the data entries' data, which is an RVA.
//   directory table  16 bytes: characteristics, time stamp, major and minor
//                    version (16 bits each), number of named entries, number
//                    of numbered entries (16 bits each); then the entries,
//                    named ones first.
//   entry            8 bytes: name (high bit set: offset of a name string,
//                    else the 31-bit number), target (high bit set: offset of
//                    a subdirectory table, else of a data entry).
//   name string      16-bit length in UTF-16 units, then the units; no NUL.
//   data entry       16 bytes: data RVA, size, code page, reserved.
// Windows uses three levels (type, name, language) and looks entries up by
// binary search: named entries sorted by name, case-insensitively, then
// numbered entries in ascending order. Resource compilers store names in
// upper case.
//
// Rebuilt sections follow the GNU linker's layout, so that a rebuilt tree of
// a MinGW-linked program comes out byte for byte the same: all directory
// tables in pre-order (root, then each type's table followed by the language
// tables of its names), the name strings in the same order, packed, then on an
// 8-byte boundary the data entries in tree order, then each resource's data on
// an 8-byte boundary, the whole padded to 8 bytes.
#pragma once

#include "tools/kwz/pe/PeImage.h"

#include <cstdint>
#include <string>
#include <vector>

// An identifier on one level of the tree: a number or a name.
struct CResourceId {
    bool named = false;
    uint32_t number = 0;
    std::u16string name;

    static CResourceId Number(uint32_t number);
    static CResourceId Name(const std::string& ascii);
    bool operator==(const CResourceId& other) const;
    bool operator!=(const CResourceId& other) const { return !(*this == other); }
    // "137" or "\"KWZ\"", for messages and listings.
    std::string Describe() const;
};

// Order of entries in a directory table: negative when a comes first.
int CompareResourceIds(const CResourceId& a, const CResourceId& b);

// Header fields of a directory table that carry no structure; kept as read.
struct CResourceTableInfo {
    uint32_t characteristics = 0;
    uint32_t timeDateStamp = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    bool operator==(const CResourceTableInfo& other) const;
};

struct CResourceData {
    CResourceId language;
    uint32_t codePage = 0;
    uint32_t reserved = 0;
    std::string bytes;
    bool operator==(const CResourceData& other) const;
};

struct CResourceName {
    CResourceId name;
    CResourceTableInfo table;
    std::vector<CResourceData> languages;
    bool operator==(const CResourceName& other) const;
};

struct CResourceType {
    CResourceId type;
    CResourceTableInfo table;
    std::vector<CResourceName> names;
    bool operator==(const CResourceType& other) const;
};

struct CResourceTree {
    CResourceTableInfo table;
    std::vector<CResourceType> types;
    bool operator==(const CResourceTree& other) const;
    bool operator!=(const CResourceTree& other) const { return !(*this == other); }
};

// A range of RVAs that the tree's own structures or data occupy.
struct CRvaRange {
    uint32_t rva;
    uint32_t size;
};

// Reads the resource tree of image; an image without a resource directory
// gives an empty tree. Raises "PeError" when any part lies outside the file,
// a directory is reached twice (a loop), or the tree is not three levels
// deep.
CResourceTree ReadResourceTree(const CPeImage& image);

// Every range that the resource tree of image occupies (tables, names, data
// entries, data), checked as ReadResourceTree checks them; no data is copied.
std::vector<CRvaRange> ResourceTreeExtents(const CPeImage& image);

// The bytes of a resource section holding tree, placed at rva. Raises
// "PeError" when the section would not fit in 32 bits.
std::string BuildResourceSection(const CResourceTree& tree, uint32_t rva);

// Makes data the only language of type/name, adding the type and the name in
// their sorted places when they are new.
void SetResource(CResourceTree& tree, const CResourceId& type, const CResourceId& name, CResourceData data);

// Removes type/name with all its languages, and the type when it has no name
// left. False when the tree has no such resource.
bool RemoveResource(CResourceTree& tree, const CResourceId& type, const CResourceId& name);

// The names of type, or null.
const CResourceType* FindResourceType(const CResourceTree& tree, const CResourceId& type);

// The data of type/name: the neutral language (0) when present, else the
// first language. Null when the tree has no such resource.
const CResourceData* FindResource(const CResourceTree& tree, const CResourceId& type, const CResourceId& name);
