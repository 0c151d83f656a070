#include "bench/baseline/BaselineBitFile.h"

#include "base/KwoException.h"

#include <exception>
#include <istream>
#include <ostream>

CBaselineBitReader::CBaselineBitReader(std::istream& stream_, ProgressCallback callback_, void* context_,
                                       uint32_t stride_)
    : stream(stream_), callback(callback_), context(context_), stride(stride_ == 0 ? 1 : stride_)
{
}

void CBaselineBitReader::CountByte()
{
    const uint32_t old = byteCount++;
    if (old % stride == 0 && callback != nullptr)
        callback(byteCount, context);
}

int CBaselineBitReader::ReadBit()
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

uint32_t CBaselineBitReader::ReadBits(int n)
{
    uint32_t value = 0;
    for (uint32_t weight = 1u << (n - 1); weight != 0; weight >>= 1)
        if (ReadBit())
            value |= weight;
    return value;
}

CBaselineBitWriter::CBaselineBitWriter(std::ostream& stream_, ProgressCallback callback_, void* context_,
                                       uint32_t stride_)
    : stream(stream_), callback(callback_), context(context_), stride(stride_ == 0 ? 1 : stride_),
      uncaughtAtStart(std::uncaught_exceptions())
{
}

CBaselineBitWriter::~CBaselineBitWriter() noexcept(false)
{
    if (bitMask == 0x80 || std::uncaught_exceptions() > uncaughtAtStart)
        return;
    stream.put(static_cast<char>(currentByte));
    if (stream.fail() || stream.bad())
        ThrowError("BitFileError", "Unable to write in a stream.", 0, 0);
}

void CBaselineBitWriter::CountByte()
{
    const uint32_t old = byteCount++;
    if (old % stride == 0 && callback != nullptr)
        callback(byteCount, context);
}

void CBaselineBitWriter::WriteBit(int bit)
{
    if (bit != 0)
        currentByte |= bitMask;
    bitMask = static_cast<uint8_t>(bitMask >> 1);
    if (bitMask == 0) {
        stream.put(static_cast<char>(currentByte));
        if (stream.fail() || stream.bad())
            ThrowError("BitFileError", "Unable to write in a stream.", 0, 0);
        CountByte();
        currentByte = 0;
        bitMask = 0x80;
    }
}

void CBaselineBitWriter::WriteBits(uint32_t value, int n)
{
    for (uint32_t weight = 1u << (n - 1); weight != 0; weight >>= 1)
        WriteBit((value & weight) != 0 ? 1 : 0);
}
