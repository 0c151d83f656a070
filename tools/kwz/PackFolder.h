// Packing a folder into a payload, shared by kwz pack and kwz stamp.
#pragma once

#include "tools/kwz/Command.h"

#include "archive/LzssSmallestCodec.h"

#include <ostream>
#include <string>

// Removes "--codepage N" or "--codepage=N" from args; 0 when absent. Raises a
// usage error for a value that is not a code page number.
unsigned TakeCodePage(Arguments& args);

// The archive image of the files directly in folder, names stored in
// codePage (0: as they are). Warns on stderr when the installer is missing;
// raises "PackError" naming every file that cannot be packed.
std::string PackFolderImage(const std::string& folder, unsigned codePage);

// Removes "--smallest" from args: the parse that the payload is encoded with.
LzssParse TakeParse(Arguments& args);

// Compresses image with parse into the payload written to out, with a
// progress bar on a terminal unless quiet.
void EncodePayload(const std::string& image, LzssParse parse, bool quiet, std::ostream& out);
