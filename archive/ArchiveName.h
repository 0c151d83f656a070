// The one rule for entry names, shared by the loader, the packer and unpack: a
// name must be a plain file name that lands directly in the extraction folder
// on Windows, whatever folder that is.
#pragma once

#include <string>

// Why name is not a plain file name, or nullptr when it is one. Refused:
// empty names, names of dots and blanks only ("." and ".." included), folder
// separators, colons (drives, streams), control characters 0x01 to 0x1F, the
// characters Windows forbids in names (< > " | ? *), the reserved device
// names (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$) in any
// letter case, with or without an extension, and names ending in a dot or a
// blank. Allowed: DEL (0x7F), bytes above it (read in the ANSI code page),
// and names that differ from another entry's only in letter case (the file
// is written once per entry, so the later entry's bytes remain).
const char* FileNameProblem(const std::string& name);

// name for messages: printable ASCII as it is, every other byte as \xNN.
std::string PrintableName(const std::string& name);
