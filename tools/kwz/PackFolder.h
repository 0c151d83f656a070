// Packing a folder into a payload, shared by kwz pack and kwz stamp.
#pragma once

#include "tools/kwz/Command.h"
#include "tools/kwz/PackNames.h"

#include "archive/LzssSmallestCodec.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct CPackOptions {
    unsigned codePage = 0;              // 0: names stored as they are
    std::vector<std::string> excludes;  // shell-style patterns of names left out
    std::string output;                 // never packed, should it lie in the folder
    bool quiet = false;
    LzssParse parse = LzssParse::kExact;  // kSmallest: --smallest
};

// Takes pack's options (-q, --smallest, --codepage, --exclude) from args.
CPackOptions TakePackOptions(Arguments& args);

struct CPackedFile {
    CPackName name;
    uint64_t size;
};

// The files of a folder in the order they are packed, checked.
struct CFolderPlan {
    std::string folder;
    std::vector<CPackedFile> files;
    uint64_t imageSize = 0;
};

// Lists and checks the files directly in folder, reading none of them. Warns
// on stderr when the installer is missing; raises "PackError" naming every
// item that cannot be packed, or the image being too large for the format.
CFolderPlan PlanFolder(const std::string& folder, const CPackOptions& options);

// The archive image of a plan: header, directory, then each file's bytes,
// read with a progress bar on a terminal unless quiet.
std::string BuildImage(const CFolderPlan& plan, bool quiet);

// Compresses image with parse into the payload written to out, with a
// progress bar on a terminal unless quiet; returns the payload's size.
uint64_t EncodePayload(const std::string& image, LzssParse parse, bool quiet, std::ostream& out);
