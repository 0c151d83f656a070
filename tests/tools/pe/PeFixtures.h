// Paths of the MinGW-built test programs (see PeFixtures.cmake) and a few
// helpers shared by the PE tests.
#pragma once

#include "tools/kwz/Command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace PeTest {

inline std::string Fixture(const std::string& name)
{
    return std::string(KWZ_PE_FIXTURES) + "/" + name;
}

// Runs kwz in-process; its standard error goes to *err when given, else to
// the test's own.
inline int Kwz(std::vector<std::string> args, std::string* err = nullptr)
{
    args.insert(args.begin(), "kwz");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    if (err != nullptr)
        testing::internal::CaptureStderr();
    const int rc = KwzMain(static_cast<int>(argv.size()), argv.data());
    if (err != nullptr)
        *err = testing::internal::GetCapturedStderr();
    return rc;
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
