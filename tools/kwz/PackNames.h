// The packer's side of the one name rule (see archive/ArchiveName.h for the
// loader's): what a file's name becomes in the payload, and why it cannot.
#pragma once

#include <string>
#include <vector>

struct CPackName {
    std::string diskName;    // as listed
    std::string storedName;  // as the launcher will read it
};

// The name stored for diskName (converted to code page codePage unless 0),
// or the reason it cannot be packed in problem. Beyond the loader's refusals,
// pack refuses names beyond ASCII without a code page (the launcher reads
// them in whatever ANSI code page its machine has).
std::string StoredName(const std::string& diskName, unsigned codePage, std::string& problem);

// One line for each name that Windows, which ignores letter case, would
// write to the same file as an earlier one in names; in the order of names.
std::vector<std::string> CaseTwinProblems(const std::vector<CPackName>& names);

// name with A to Z as a to z: how Windows compares names, as far as every
// ANSI code page agrees.
std::string FoldCase(std::string name);

// name quoted for a message, bytes outside printable ASCII as \xNN.
std::string Quoted(const std::string& name);
