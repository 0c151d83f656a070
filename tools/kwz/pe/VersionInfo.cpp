#include "tools/kwz/pe/VersionInfo.h"

#include "tools/kwz/pe/PeFormat.h"

#include "base/KwoException.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStructureVersion = 0x00010000;
constexpr uint32_t kFixedFlagsMask = 0x3F;          // VS_FFI_FILEFLAGSMASK
constexpr uint32_t kFixedOs = 0x00040004;           // VOS_NT_WINDOWS32
constexpr uint32_t kFixedTypeApplication = 1;       // VFT_APP
constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;

const std::array<const char*, 12> kKeys = {
    "CompanyName",  "FileDescription", "FileVersion", "InternalName", "LegalCopyright", "LegalTrademarks",
    "OriginalFilename", "ProductName", "ProductVersion", "Comments", "PrivateBuild", "SpecialBuild",
};

[[noreturn]] void Refuse(const std::string& origin, const std::string& text)
{
    ThrowError("VersionInfoError", (origin + ": " + text).c_str(), 0, 0);
}

// text as UTF-16; false when it is not well-formed UTF-8.
bool DecodeUtf8(const std::string& text, std::u16string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += length;
    }
    return true;
}

std::u16string Utf16(const std::string& text)
{
    std::u16string out;
    DecodeUtf8(text, out);  // checked when the value was set
    return out;
}

// "2.4.1" as {2, 4, 1, 0}; false unless one to four numbers 0-65535.
bool ParseVersion(const std::string& text, std::array<uint16_t, 4>& numbers)
{
    numbers = {0, 0, 0, 0};
    size_t part = 0;
    size_t digits = 0;
    uint32_t value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits == 0 || part == 4)
                return false;
            numbers[part++] = static_cast<uint16_t>(value);
            digits = 0;
            value = 0;
        } else if (text[i] >= '0' && text[i] <= '9' && digits < 5) {
            value = value * 10 + static_cast<uint32_t>(text[i] - '0');
            ++digits;
            if (value > 0xFFFF)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// One node of the tree, built children first so that its length is known
// when the header is written.
class CNode {
public:
    CNode(const char* key, uint16_t type) : bytes(6, '\0')
    {
        Put16(0, 0);
        Put16(4, type);
        for (const char* c = key; *c != '\0'; ++c)
            AppendUnit(static_cast<unsigned char>(*c));
        AppendUnit(0);
    }

    // A binary value of size bytes.
    CNode& Value(const std::string& value)
    {
        Align();
        Put16(2, static_cast<uint32_t>(value.size()));
        bytes += value;
        return *this;
    }

    // A text value, counted in UTF-16 units with its NUL.
    CNode& Text(const std::u16string& text)
    {
        Align();
        Put16(2, static_cast<uint32_t>(text.size() + 1));
        for (char16_t c : text)
            AppendUnit(c);
        AppendUnit(0);
        return *this;
    }

    CNode& Child(const CNode& child)
    {
        Align();
        bytes += child.Bytes();
        return *this;
    }

    // The node with its length in place. Every node starts on a 32-bit
    // boundary, so aligning inside it aligns from the resource's start.
    std::string Bytes() const
    {
        std::string out = bytes;
        if (out.size() > 0xFFFF)
            ThrowError("VersionInfoError", "the version information is longer than 65535 bytes", 0, 0);
        Pe::Put16(out, 0, static_cast<uint32_t>(out.size()));
        return out;
    }

private:
    void Put16(size_t at, uint32_t value) { Pe::Put16(bytes, at, value); }
    void AppendUnit(uint32_t unit)
    {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    void Align() { bytes.resize(static_cast<size_t>(Pe::AlignUp(bytes.size(), 4)), '\0'); }

    std::string bytes;
};

std::string FixedFileInfo(const CVersionInfo& info)
{
    const std::array<uint16_t, 4> file = info.FileVersion();
    const std::array<uint16_t, 4> product = info.ProductVersion();
    const uint32_t fields[13] = {
        kFixedSignature, kFixedStructureVersion,
        static_cast<uint32_t>(file[0]) << 16 | file[1], static_cast<uint32_t>(file[2]) << 16 | file[3],
        static_cast<uint32_t>(product[0]) << 16 | product[1], static_cast<uint32_t>(product[2]) << 16 | product[3],
        kFixedFlagsMask, 0, kFixedOs, kFixedTypeApplication, 0, 0, 0,
    };
    std::string out(sizeof fields, '\0');
    for (size_t i = 0; i < 13; ++i)
        Pe::Put32(out, 4 * i, fields[i]);
    return out;
}

}  // namespace

const std::array<const char*, 12>& VersionInfoKeys()
{
    return kKeys;
}

void CVersionInfo::Set(const std::string& key, const std::string& value, const std::string& origin)
{
    if (std::none_of(kKeys.begin(), kKeys.end(), [&](const char* k) { return key == k; })) {
        std::string known;
        for (const char* k : kKeys)
            known += std::string(known.empty() ? "" : ", ") + k;
        Refuse(origin, "unknown key '" + key + "'; the keys are " + known);
    }
    std::u16string ignored;
    if (!DecodeUtf8(value, ignored))
        Refuse(origin, "the value of " + key + " is not UTF-8 text");
    std::array<uint16_t, 4> numbers;
    if (!value.empty() && (key == "FileVersion" || key == "ProductVersion") && !ParseVersion(value, numbers))
        Refuse(origin, key + " '" + value +
                           "' is not a version: one to four numbers from 0 to 65535 separated by dots, such as 2.4.1");
    if (value.empty())
        values.erase(key);
    else
        values[key] = value;
}

void CVersionInfo::SetAssignment(const std::string& assignment, const std::string& origin)
{
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos)
        Refuse(origin, "'" + assignment + "' is not KEY=VALUE");
    Set(Trim(assignment.substr(0, equals)), Trim(assignment.substr(equals + 1)), origin);
}

std::array<uint16_t, 4> CVersionInfo::FileVersion() const
{
    return Numbers("FileVersion", "ProductVersion");
}

std::array<uint16_t, 4> CVersionInfo::ProductVersion() const
{
    return Numbers("ProductVersion", "FileVersion");
}

std::array<uint16_t, 4> CVersionInfo::Numbers(const char* key, const char* fallback) const
{
    std::array<uint16_t, 4> numbers = {0, 0, 0, 0};
    auto value = values.find(key);
    if (value == values.end())
        value = values.find(fallback);
    if (value != values.end())
        ParseVersion(value->second, numbers);
    return numbers;
}

CVersionInfo ParseVersionInfoFile(const std::string& text, const std::string& fileName)
{
    CVersionInfo info;
    std::map<std::string, size_t> seen;  // key, line
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (size_t lineNumber = 1; start < text.size(); ++lineNumber) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        const std::string origin = fileName + ":" + std::to_string(lineNumber);
        const std::string key = Trim(line.substr(0, line.find('=')));
        const auto first = seen.find(key);
        if (first != seen.end())
            Refuse(origin, key + " is given twice (first on line " + std::to_string(first->second) + ")");
        seen[key] = lineNumber;
        info.SetAssignment(line, origin);
    }
    return info;
}

std::string BuildVersionInfo(const CVersionInfo& info)
{
    char table[9];
    std::snprintf(table, sizeof table, "%04X%04X", kVersionLanguage, kVersionCodePage);
    CNode strings(table, kText);
    for (const char* key : kKeys) {
        const auto value = info.Values().find(key);
        if (value != info.Values().end())
            strings.Child(CNode(key, kText).Text(Utf16(value->second)));
    }
    std::string translation(4, '\0');
    Pe::Put16(translation, 0, kVersionLanguage);
    Pe::Put16(translation, 2, kVersionCodePage);
    return CNode("VS_VERSION_INFO", kBinary)
        .Value(FixedFileInfo(info))
        .Child(CNode("StringFileInfo", kText).Child(strings))
        .Child(CNode("VarFileInfo", kText).Child(CNode("Translation", kBinary).Value(translation)))
        .Bytes();
}

void SetVersionInfo(CResourceTree& tree, std::string data)
{
    const CResourceId type = CResourceId::Number(kVersionType);
    const CResourceId name = CResourceId::Number(kVersionName);
    const CResourceData* old = FindResource(tree, type, name);
    CResourceData fresh;
    fresh.language = old != nullptr ? old->language : CResourceId::Number(kVersionLanguage);
    fresh.bytes = std::move(data);
    SetResource(tree, type, name, std::move(fresh));
}
