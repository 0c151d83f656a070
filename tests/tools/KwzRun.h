// Runs the packer in-process, as the command line would, and keeps what it
// printed.
#pragma once

#include "tools/kwz/Command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

struct KwzResult {
    int code;
    std::string out;  // standard output
    std::string err;  // standard error
};

inline KwzResult RunKwz(std::vector<std::string> args)
{
    args.insert(args.begin(), "kwz");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    KwzResult result;
    result.code = KwzMain(static_cast<int>(argv.size()), argv.data());
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
