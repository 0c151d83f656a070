// Paths of the MinGW-built test programs (see PeFixtures.cmake), and the
// hash their probe prints.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace PeTest {

// A fixture of this tree's own architecture (32-bit in the native tree).
inline std::string Fixture(const std::string& name)
{
    return std::string(KWZ_PE_FIXTURES) + "/" + name;
}

// Every fixture set that this tree built: one per architecture natively
// (PE32 and PE32+), the tree's own on Windows.
struct CFixtureSet {
    std::string label;   // x86 or x64
    std::string folder;
    std::string operator/(const std::string& name) const { return folder + "/" + name; }
};

inline std::vector<CFixtureSet> FixtureSets()
{
    std::vector<CFixtureSet> sets;
    std::istringstream list(KWZ_PE_FIXTURE_SETS);
    for (std::string set; std::getline(list, set, ',');) {
        const size_t equals = set.find('=');
        sets.push_back({set.substr(0, equals), set.substr(equals + 1)});
    }
    return sets;
}

// The FNV-1a hash that ResourceProbe.c prints.
inline unsigned long ProbeHash(const std::string& bytes)
{
    uint32_t hash = 2166136261u;
    for (char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

}  // namespace PeTest
