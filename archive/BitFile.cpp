#include "archive/BitFile.h"

#include "base/KwoException.h"

#include <istream>
#include <ostream>

CBitFile::CBitFile(ProgressCallback callback_, void* context_, uint32_t stride_)
    : bitMask(0x80), currentByte(0), byteCount(0), callback(callback_), context(context_),
      stride(stride_ == 0 ? 1 : stride_)
{
}

CBitFile::~CBitFile() noexcept(false) = default;

void CBitFile::CountByte()
{
    const uint32_t old = byteCount;
    byteCount = old + 1;
    if (old % stride == 0 && callback != nullptr)
        callback(byteCount, context);
}

CBitFileReader::CBitFileReader(std::istream& stream_, ProgressCallback callback_, void* context_, uint32_t stride_)
    : CBitFile(callback_, context_, stride_), stream(stream_)
{
}

CBitFileReader::~CBitFileReader() noexcept(false) = default;

int CBitFileReader::ReadBit()
{
    if (bitMask == 0x80) {
        currentByte = stream.get();
        if (stream.fail() || stream.bad())
            ThrowError("BitFileError", "Unexpected end of file reached.", 0, 0);
        CountByte();
    }
    const int bit = (currentByte & bitMask) != 0 ? 1 : 0;
    bitMask = static_cast<uint8_t>(bitMask >> 1);
    if (bitMask == 0)
        bitMask = 0x80;
    return bit;
}

uint32_t CBitFileReader::ReadBits(int n)
{
    uint32_t value = 0;
    for (uint32_t weight = 1u << (n - 1); weight != 0; weight >>= 1)
        if (ReadBit())
            value |= weight;
    return value;
}

CBitFileWriter::CBitFileWriter(std::ostream& stream_, ProgressCallback callback_, void* context_, uint32_t stride_)
    : CBitFile(callback_, context_, stride_), stream(stream_)
{
}

CBitFileWriter::~CBitFileWriter() noexcept(false)
{
    if (bitMask == 0x80)
        return;
    // During unwinding a second raise would end the program: the byte that
    // already failed once is not retried then.
    if (std::uncaught_exceptions() > 0)
        return;
    stream.put(static_cast<char>(currentByte));
    if (stream.fail() || stream.bad())
        ThrowError("BitFileError", "Unable to write in a stream.", 0, 0);
}

void CBitFileWriter::WriteBit(int bit)
{
    if (bit != 0)
        currentByte |= bitMask;
    bitMask = static_cast<uint8_t>(bitMask >> 1);
    if (bitMask == 0) {
        stream.put(static_cast<char>(currentByte));
        if (stream.fail() || stream.bad()) {
            ThrowError("BitFileError", "Unable to write in a stream.", 0, 0);
        }
        CountByte();
        currentByte = 0;
        bitMask = 0x80;
    }
}

void CBitFileWriter::WriteBits(uint32_t value, int n)
{
    for (uint32_t weight = 1u << (n - 1); weight != 0; weight >>= 1)
        WriteBit((value & weight) != 0 ? 1 : 0);
}
