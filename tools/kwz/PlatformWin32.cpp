#include "tools/kwz/FileIo.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace Platform {

void SetBinaryStandardStreams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

bool IsTerminal(int fd)
{
    return _isatty(fd) != 0;
}

unsigned long ProcessId()
{
    return GetCurrentProcessId();
}

bool MoveOver(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void RemoveFileQuietly(const std::string& path)
{
    DeleteFileA(path.c_str());
}

}  // namespace Platform
