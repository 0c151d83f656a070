#include "tools/kwz/PayloadFile.h"

#include "tools/kwz/FileIo.h"
#include "tools/kwz/pe/SetupProgram.h"

std::string ReadPayloadFile(const std::string& path)
{
    // A payload never starts with "MZ": its first token is a literal, whose
    // first bit is 1.
    std::string bytes = ReadInputFile(path);
    if (LooksLikePeFile(bytes))
        return ReadSetupPayload(bytes, path);
    return bytes;
}
