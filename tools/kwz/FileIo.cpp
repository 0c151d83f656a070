#include "tools/kwz/FileIo.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr size_t kPiece = 1u << 20;

// The temporary of target: target.kwz-PID.tmp, or with a counter when a file
// of that name exists (another kwz of the same number, long gone).
std::string TemporaryName(const std::string& target, unsigned attempt)
{
    std::string name = target + ".kwz-" + std::to_string(Platform::ProcessId());
    if (attempt > 0)
        name += "-" + std::to_string(attempt);
    return name + ".tmp";
}

}  // namespace

std::string InputName(const std::string& path)
{
    return path == "-" ? "standard input" : path;
}

std::string OutputName(const std::string& path)
{
    return path == "-" ? "standard output" : path;
}

bool IsFolder(const std::string& path)
{
    std::error_code ignored;
    return path != "-" && std::filesystem::is_directory(std::filesystem::path(path), ignored);
}

std::string ReadInputFile(const std::string& path)
{
    CFileHandle file = path == "-" ? CFileHandle::StandardInput() : CFileHandle::OpenForReading(path);
    std::string data;
    uint64_t size = 0;
    if (file.RegularSize(size) && size > 0)
        data.reserve(static_cast<size_t>(size));
    for (;;) {
        Interrupt::Poll();
        const size_t start = data.size();
        data.resize(start + kPiece);
        const size_t got = file.Read(&data[start], kPiece);
        data.resize(start + got);
        if (got == 0)
            return data;
    }
}

void WriteStandardOutput(const std::string& text)
{
    // Whatever stdio still holds goes first, and its failure counts too.
    if (std::fflush(stdout) != 0)
        RaiseFileError("write", "standard output");
    CFileHandle::StandardOutput().Write(text.data(), text.size());
}

COutputFile::CBuffer::CBuffer(CFileHandle& file_) : file(file_), area(kPiece)
{
    setp(area.data(), area.data() + area.size());
}

void COutputFile::CBuffer::Drain()
{
    const size_t pending = static_cast<size_t>(pptr() - pbase());
    setp(area.data(), area.data() + area.size());
    Interrupt::Poll();
    file.Write(area.data(), pending);
    drained += pending;
}

COutputFile::CBuffer::int_type COutputFile::CBuffer::overflow(int_type c)
{
    Drain();
    if (!traits_type::eq_int_type(c, traits_type::eof()))
        return sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

std::streamsize COutputFile::CBuffer::xsputn(const char* bytes, std::streamsize count)
{
    const size_t size = static_cast<size_t>(count);
    if (size <= static_cast<size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), bytes, size);
        pbump(static_cast<int>(count));
        return count;
    }
    Drain();
    file.Write(bytes, size);
    drained += size;
    return count;
}

COutputFile::CBuffer::pos_type COutputFile::CBuffer::seekoff(off_type offset, std::ios_base::seekdir way,
                                                             std::ios_base::openmode which)
{
    if (offset != 0 || way != std::ios_base::cur || (which & std::ios_base::out) == 0)
        return pos_type(off_type(-1));
    return pos_type(static_cast<off_type>(drained + static_cast<uint64_t>(pptr() - pbase())));
}

int COutputFile::CBuffer::sync()
{
    Drain();
    return 0;
}

COutputFile::COutputFile(const std::string& path_) : path(path_), buffer(file), stream(&buffer)
{
    // A failed write raises its own error out of the buffer, through the stream.
    stream.exceptions(std::ios::badbit);
    if (path == "-") {
        std::fflush(stdout);
        file = CFileHandle::StandardOutput();
        return;
    }
    const Platform::COutputPlan plan = Platform::PlanOutput(path);
    if (plan.kind == Platform::OutputKind::kWriteThrough) {
        file = CFileHandle::OpenForWritingThrough(path);
        return;
    }
    target = plan.target;
    for (unsigned attempt = 0; temporary.empty(); ++attempt) {
        const std::string name = TemporaryName(target, attempt);
        CInterruptGuard guard;
        if (CFileHandle::CreateNew(name, file, std::string(), target)) {
            temporary = name;
            listed.Set(temporary, CTemporaryPath::kFile);
        } else if (attempt >= 100) {
            RaiseFileError("create", name);
        }
    }
}

COutputFile::~COutputFile()
{
    if (!temporary.empty() && !committed) {
        file = CFileHandle();
        Platform::RemoveFileQuietly(temporary);
    }
}

void COutputFile::Write(const std::string& data)
{
    stream.write(data.data(), static_cast<std::streamsize>(data.size()));
}

void COutputFile::Commit()
{
    buffer.Drain();
    file.Finish();
    if (!temporary.empty()) {
        CInterruptGuard guard;
        if (!Platform::Move(temporary, target, true))
            RaiseFileError("write", path == target ? path : path + " (" + target + ")");
        listed.Release();
    }
    committed = true;
}

void WriteOutputFile(const std::string& path, const std::string& data)
{
    COutputFile out(path);
    out.Write(data);
    out.Commit();
}
