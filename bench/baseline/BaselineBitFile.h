// The bit stream in its plainest form, for the baseline codec: one bit at a
// time, every byte through istream::get / ostream::put, a division per byte
// for the progress schedule.
#pragma once

#include "archive/BitFile.h"

#include <cstdint>
#include <iosfwd>

class CBaselineBitReader {
public:
    CBaselineBitReader(std::istream& stream, ProgressCallback callback, void* context, uint32_t stride);

    int ReadBit();
    uint32_t ReadBits(int n);
    uint32_t ByteCount() const { return byteCount; }

private:
    void CountByte();

    std::istream& stream;
    ProgressCallback callback;
    void* context;
    uint32_t stride;
    uint32_t byteCount = 0;
    uint8_t bitMask = 0x80;
    int32_t currentByte = 0;
};

class CBaselineBitWriter {
public:
    CBaselineBitWriter(std::ostream& stream, ProgressCallback callback, void* context, uint32_t stride);
    // Writes a pending partial byte unless an error is already propagating.
    ~CBaselineBitWriter() noexcept(false);

    void WriteBit(int bit);
    void WriteBits(uint32_t value, int n);
    uint32_t ByteCount() const { return byteCount; }

private:
    void CountByte();

    std::ostream& stream;
    ProgressCallback callback;
    void* context;
    uint32_t stride;
    uint32_t byteCount = 0;
    uint8_t bitMask = 0x80;
    int32_t currentByte = 0;
    int uncaughtAtStart;
};
