// Paths of the MinGW-built test programs (see PeFixtures.cmake), and the
// hash their probe prints.
#pragma once

#include <cstdint>
#include <string>

namespace PeTest {

inline std::string Fixture(const std::string& name)
{
    return std::string(KWZ_PE_FIXTURES) + "/" + name;
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
