#include "tools/kwz/FileIo.h"

#include "base/FormatString.h"
#include "base/KwoException.h"

#include <cerrno>
#include <iostream>
#include <sstream>

namespace {

[[noreturn]] void RaiseFileError(const char* format, const std::string& path)
{
    std::string message;
    KwoBase::FormatString(message, format, path.c_str());
    ThrowWin32Error("FileError", message.c_str(), 0, 0);
}

}  // namespace

std::string ReadInputFile(const std::string& path)
{
    if (path == "-") {
        Platform::SetBinaryStandardStreams();
        std::ostringstream all;
        all << std::cin.rdbuf();
        if (std::cin.bad())
            RaiseFileError("Unable to read %s", "standard input");
        return all.str();
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        RaiseFileError("Unable to open %s for reading", path);
    // One read of the known size; a stream that cannot tell its size (a pipe
    // named by path) is read piece by piece instead.
    std::string data;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > 0 && in) {
        data.resize(static_cast<size_t>(size));
        in.read(&data[0], size);
        if (in.gcount() != size)
            RaiseFileError("Unable to read %s", path);
    } else {
        in.clear();
        std::ostringstream all;
        all << in.rdbuf();
        data = all.str();
    }
    if (in.bad())
        RaiseFileError("Unable to read %s", path);
    return data;
}

COutputFile::COutputFile(const std::string& path_) : path(path_)
{
    if (path == "-") {
        Platform::SetBinaryStandardStreams();
        return;
    }
    temporary = path + ".kwz-" + std::to_string(Platform::ProcessId()) + ".tmp";
    errno = 0;
    file.open(temporary, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!file)
        RaiseFileError("Unable to create %s", path);
}

COutputFile::~COutputFile()
{
    if (!temporary.empty() && !committed) {
        file.close();
        Platform::RemoveFileQuietly(temporary);
    }
}

std::ostream& COutputFile::Stream()
{
    if (temporary.empty())
        return std::cout;
    return file;
}

void COutputFile::Commit()
{
    if (temporary.empty()) {
        std::cout.flush();
        if (!std::cout)
            RaiseFileError("Unable to write %s", "standard output");
        committed = true;
        return;
    }
    file.close();
    if (!file)
        RaiseFileError("Unable to write %s", path);
    if (!Platform::MoveOver(temporary, path))
        RaiseFileError("Unable to write %s", path);
    committed = true;
}

void WriteOutputFile(const std::string& path, const std::string& data)
{
    COutputFile out(path);
    out.Stream().write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out.Stream())
        ThrowWin32Error("FileError", ("Unable to write " + path).c_str(), 0, 0);
    out.Commit();
}
