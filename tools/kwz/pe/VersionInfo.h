// Version information (RT_VERSION, name 1): what Explorer's file properties
// and GetFileVersionInfo show of a program.
//
// Format notes. The resource is a tree of nodes. Each node is
//   wLength       16 bits: bytes from the node's start to the end of its
//                 last part, trailing padding not counted
//   wValueLength  16 bits: of the value, in bytes for binary values and in
//                 UTF-16 units (the NUL included) for text
//   wType         16 bits: 1 text, 0 binary
//   key           UTF-16, NUL-terminated
//   padding       to a 32-bit boundary (from the resource's start)
//   value         wValueLength units
//   children      each starting on a 32-bit boundary
// The root "VS_VERSION_INFO" holds VS_FIXEDFILEINFO (52 bytes: signature
// 0xFEEF04BD, structure version 1.0, file and product version as four
// 16-bit numbers each in two 32-bit words, most significant first, flags
// mask, flags, OS, type, subtype, date), then "StringFileInfo" with one
// table per language and code page ("040904B0": US English, UTF-16) of
// String nodes, then "VarFileInfo" whose "Translation" value names that same
// pair. This is the layout resource compilers write (windres byte for byte).
#pragma once

#include "tools/kwz/pe/ResourceTree.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>

constexpr uint32_t kVersionType = 16;  // RT_VERSION
constexpr uint32_t kVersionName = 1;   // VS_VERSION_INFO
constexpr uint32_t kVersionLanguage = 0x0409;  // for a program that had none
constexpr uint32_t kVersionCodePage = 1200;    // UTF-16, as the strings are stored

// The string values by key, as given (UTF-8). Only the keys of
// VersionInfoKeys() are taken. FileVersion and ProductVersion are also
// written as numbers: one to four numbers from 0 to 65535, such as 2.4.1.
class CVersionInfo {
public:
    // Sets key to value, or removes key when value is empty. Raises
    // "VersionInfoError" "ORIGIN: ..." for a key that is not one of the
    // standard ones, a version that is not numbers, or text that is not
    // UTF-8.
    void Set(const std::string& key, const std::string& value, const std::string& origin);

    // "KEY=VALUE", as --set gives it.
    void SetAssignment(const std::string& assignment, const std::string& origin);

    const std::map<std::string, std::string>& Values() const { return values; }
    bool Empty() const { return values.empty(); }

    // The four numbers of FileVersion, or of ProductVersion when FileVersion
    // is not given, or zeros; the same the other way round.
    std::array<uint16_t, 4> FileVersion() const;
    std::array<uint16_t, 4> ProductVersion() const;

private:
    std::array<uint16_t, 4> Numbers(const char* key, const char* fallback) const;

    std::map<std::string, std::string> values;
};

// The standard string keys, in the order they are written.
const std::array<const char*, 12>& VersionInfoKeys();

// Reads a version information file: UTF-8 text, one KEY=VALUE a line, blanks
// around both trimmed, lines starting with # or ; and empty lines ignored.
// Raises "VersionInfoError" "FILENAME:LINE: ..." naming what is wrong (an
// unknown key, a key given twice, a line without =).
CVersionInfo ParseVersionInfoFile(const std::string& text, const std::string& fileName);

// The RT_VERSION data for info.
std::string BuildVersionInfo(const CVersionInfo& info);

// Makes data the only version information of tree, in the language the old
// one had (kVersionLanguage when there was none).
void SetVersionInfo(CResourceTree& tree, std::string data);
