// Runs the packer in-process, as the command line would, and keeps what it
// printed.
#pragma once

#include "tests/archive/ArchiveImages.h"
#include "tests/support/TestFiles.h"
#include "tools/kwz/Command.h"

#include "archive/LzssCodec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct KwzResult {
    int code;
    std::string out;  // standard output
    std::string err;  // standard error
};

// KwzMain on "kwz" and args, its output left where it goes.
inline int CallKwz(std::vector<std::string> args)
{
    args.insert(args.begin(), "kwz");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    return KwzMain(static_cast<int>(argv.size()), argv.data());
}

inline KwzResult RunKwz(const std::vector<std::string>& args)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    KwzResult result;
    result.code = CallKwz(args);
    std::fflush(stdout);
    std::fflush(stderr);
    result.out = testing::internal::GetCapturedStdout();
    result.err = testing::internal::GetCapturedStderr();
    return result;
}

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A product folder: an installer, an empty file and a few others.
inline void FillPayloadFolder(const std::string& folder)
{
    WriteFileBytes(folder + "/KwoWardenInstaller.exe", SeededBytes(70000, 1));
    WriteFileBytes(folder + "/setup.ini", "[setup]\nname=demo\n");
    WriteFileBytes(folder + "/empty.dat", "");
    WriteFileBytes(folder + "/Zeta.bin", SeededBytes(3000, 2));
    WriteFileBytes(folder + "/alpha.bin", SeededBytes(5000, 3));
}

// bytes encoded with the launcher's codec.
inline std::string Compressed(const std::string& bytes)
{
    std::istringstream input(bytes);
    std::ostringstream payload;
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    codec->Encode(input, payload, nullptr, nullptr, 1);
    return payload.str();
}

// A payload as kwz pack writes one: the canonical image of files, encoded.
inline std::string PayloadOf(const std::vector<std::pair<std::string, std::string>>& files)
{
    return Compressed(ArchiveImages::Canonical(files));
}

// The start of the summary line that pack, stamp and unpack end with:
// "kwz: WHAT: TOTALS" (the ratio and the time follow).
inline std::string SummaryStart(const std::string& what, const std::string& totals)
{
    return "kwz: " + what + ": " + totals + ", ratio ";
}
