#include "tools/kwz/PackNames.h"

#include "tools/kwz/FolderListing.h"

#include "archive/ArchiveName.h"

#include <algorithm>
#include <map>

namespace {

// ASCII is the same in every ANSI code page; its controls are refused anyway.
bool IsAscii(const std::string& name)
{
    return std::all_of(name.begin(), name.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return u >= 0x20 && u <= 0x7F;
    });
}

}  // namespace

std::string FoldCase(std::string name)
{
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name;
}

std::string StoredName(const std::string& diskName, unsigned codePage, std::string& problem)
{
    std::string stored = diskName;
    if (codePage != 0 && !EncodeName(diskName, codePage, stored)) {
        problem = "code page " + std::to_string(codePage) + " cannot spell the name (or is not known here)";
        return stored;
    }
    if (const char* why = FileNameProblem(stored))
        problem = std::string(why) + ", so the launcher would refuse the payload";
    else if (codePage == 0 && !IsAscii(stored))
        problem = "the name is not ASCII, and the launcher reads names in the ANSI code page of the "
                  "machine it runs on (--codepage converts names to a given one)";
    return stored;
}

std::vector<std::string> CaseTwinProblems(const std::vector<CPackName>& names)
{
    std::vector<std::string> problems;
    std::map<std::string, const CPackName*> folded;
    for (const CPackName& name : names) {
        const auto seen = folded.emplace(FoldCase(name.storedName), &name);
        if (!seen.second)
            problems.push_back(Quoted(seen.first->second->diskName) + " and " + Quoted(name.diskName) +
                               " would be one file on Windows, which ignores letter case");
    }
    return problems;
}

std::string Quoted(const std::string& name)
{
    return "\"" + PrintableName(name) + "\"";
}
