#include "tools/kwz/PayloadFile.h"

#include "tools/kwz/FileIo.h"

std::string ReadPayloadFile(const std::string& path)
{
    return ReadInputFile(path);
}
