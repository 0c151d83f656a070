#include "tools/kwz/FileIo.h"

#include <cstdio>
#include <unistd.h>

namespace Platform {

void SetBinaryStandardStreams()
{
}

bool IsTerminal(int fd)
{
    return isatty(fd) == 1;
}

unsigned long ProcessId()
{
    return static_cast<unsigned long>(getpid());
}

bool MoveOver(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void RemoveFileQuietly(const std::string& path)
{
    std::remove(path.c_str());
}

}  // namespace Platform
