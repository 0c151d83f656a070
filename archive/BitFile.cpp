#include "archive/BitFile.h"

#include "base/KwoException.h"

#include <exception>
#include <istream>
#include <ostream>

CBitFile::CBitFile(ProgressCallback callback_, void* context_, uint32_t stride_)
    : bitMask(0x80), currentByte(0), byteCount(0), callback(callback_), context(context_),
      stride(stride_ == 0 ? 1 : stride_), nextReport(0)
{
}

CBitFile::~CBitFile() noexcept(false) = default;

void CBitFile::Report(uint32_t old)
{
    const uint32_t next = old + stride;
    nextReport = next < old ? 0 : next;
    if (callback != nullptr)
        callback(byteCount, context);
}

CBitFileReader::CBitFileReader(std::istream& stream_, ProgressCallback callback_, void* context_, uint32_t stride_)
    : CBitFile(callback_, context_, stride_), stream(stream_)
{
}

CBitFileReader::~CBitFileReader() noexcept(false) = default;

void CBitFileReader::RaiseEndOfFile()
{
    ThrowError("BitFileError", "Unexpected end of file reached.", 0, 0);
}

CBitFileWriter::CBitFileWriter(std::ostream& stream_, ProgressCallback callback_, void* context_, uint32_t stride_)
    : CBitFile(callback_, context_, stride_), stream(stream_), uncaughtAtStart(std::uncaught_exceptions())
{
}

CBitFileWriter::~CBitFileWriter() noexcept(false)
{
    // During unwinding a second raise would end the program: the pending
    // bits are dropped then, the byte that already failed is not retried.
    if (bitMask == 0x80 || std::uncaught_exceptions() > uncaughtAtStart)
        return;
    CBitFileStreamIo::Put(stream, static_cast<uint8_t>(currentByte));
    if (stream.fail())
        RaiseWriteError();
}

void CBitFileWriter::RaiseWriteError()
{
    ThrowError("BitFileError", "Unable to write in a stream.", 0, 0);
}
