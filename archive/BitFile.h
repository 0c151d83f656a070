// Bit stream over a standard byte stream: bits most significant first, one
// byte at a time through the stream, every byte counted, a progress callback
// on the 1st, (stride+1)th, (2*stride+1)th ... byte.
//
// Contract. The bit stream holds no buffer beyond currentByte: a reader
// fetches a byte only when a bit of it is asked for, a writer emits a byte as
// soon as its eighth bit is put. Multi-bit operations move several bits of
// the current byte at once but fetch, count and report bytes exactly as the
// same number of single-bit operations would. Bytes cross the stream with the
// effect of istream::get and ostream::put (BitFileStreamIo.h).
#pragma once

#include "archive/BitFileStreamIo.h"

#include <cstdint>
#include <iosfwd>

// Called with the count of bytes moved so far (including the one just moved)
// and the caller's context.
typedef void (*ProgressCallback)(uint32_t count, void* context);

class CBitFile {
public:
    // The writer's flush may raise from its destructor, so none is noexcept.
    virtual ~CBitFile() noexcept(false);

    uint32_t ByteCount() const { return byteCount; }

protected:
    // A stride of 0 is taken as 1.
    CBitFile(ProgressCallback callback, void* context, uint32_t stride);

    // Counts one byte moved and calls the callback when its turn has come:
    // when the count before this byte is a multiple of stride.
    void CountByte()
    {
        const uint32_t old = byteCount++;
        if (old == nextReport)
            Report(old);
    }

    // Bits of currentByte not yet taken (reader) or still free (writer) for
    // a mask of 0x01 to 0x80: 1 to 8.
    static unsigned BitsFrom(uint8_t mask) { return static_cast<unsigned>(__builtin_ctz(mask)) + 1; }

    uint8_t bitMask;      // next bit within currentByte; 0x80 at a byte boundary
    int32_t currentByte;  // reader: byte fetched last; writer: bits gathered
    uint32_t byteCount;   // bytes moved by bit and value operations
    ProgressCallback callback;
    void* context;
    uint32_t stride;

private:
    void Report(uint32_t old);

    // The count before a byte whose move calls the callback next: the next
    // multiple of stride, 0 again once the count has wrapped.
    uint32_t nextReport;
};

class CBitFileReader : public CBitFile {
public:
    CBitFileReader(std::istream& stream, ProgressCallback callback, void* context, uint32_t stride);
    ~CBitFileReader() noexcept(false) override;

    // Next bit, 1 or 0. Raises "BitFileError" "Unexpected end of file reached."
    int ReadBit() { return static_cast<int>(ReadBits(1)); }

    // Next n bits (1 to 32), the first read being the most significant.
    uint32_t ReadBits(int n)
    {
        // At a byte boundary (mask 0x80) no bit of currentByte is left.
        unsigned left = bitMask == 0x80 ? 0 : BitsFrom(bitMask);
        unsigned need = static_cast<unsigned>(n);
        uint32_t value = 0;
        uint32_t byte = static_cast<uint32_t>(currentByte);
        while (need > left) {
            value = (value << left) | (byte & ((1u << left) - 1));
            need -= left;
            bitMask = 0x80;
            FetchByte();
            byte = static_cast<uint32_t>(currentByte);
            left = 8;
        }
        left -= need;
        value = (value << need) | ((byte >> left) & ((1u << need) - 1));
        bitMask = static_cast<uint8_t>(left == 0 ? 0x80 : 1u << (left - 1));
        return value;
    }

private:
    void FetchByte()
    {
        currentByte = CBitFileStreamIo::Get(stream);
        if (stream.fail())  // failbit or badbit
            RaiseEndOfFile();
        CountByte();
    }
    [[noreturn]] static void RaiseEndOfFile();

    std::istream& stream;
};

class CBitFileWriter : public CBitFile {
public:
    CBitFileWriter(std::ostream& stream, ProgressCallback callback, void* context, uint32_t stride);
    // Writes a pending partial byte, filled with 0 bits. While an error is
    // already propagating it writes nothing and raises nothing.
    ~CBitFileWriter() noexcept(false) override;

    // Raise "BitFileError" "Unable to write in a stream." on a failed write;
    // the byte that failed stays pending and goes first on the next call.
    void WriteBit(int bit) { WriteBits(bit != 0 ? 1 : 0, 1); }

    // Appends the low n bits (1 to 32) of value, most significant first.
    void WriteBits(uint32_t value, int n)
    {
        if (bitMask == 0)
            EmitByte();
        unsigned room = BitsFrom(bitMask);
        unsigned need = static_cast<unsigned>(n);
        while (need >= room) {
            need -= room;
            currentByte |= static_cast<int32_t>((value >> need) & ((1u << room) - 1));
            bitMask = 0;  // full: what a failed write leaves behind
            EmitByte();
            room = 8;
        }
        if (need != 0) {
            room -= need;
            currentByte |= static_cast<int32_t>((value & ((1u << need) - 1)) << room);
        }
        bitMask = static_cast<uint8_t>(1u << (room - 1));
    }

private:
    void EmitByte()
    {
        CBitFileStreamIo::Put(stream, static_cast<uint8_t>(currentByte));
        if (stream.fail())  // failbit or badbit
            RaiseWriteError();
        CountByte();
        currentByte = 0;
        bitMask = 0x80;
    }
    [[noreturn]] static void RaiseWriteError();

    std::ostream& stream;
    int uncaughtAtStart;  // exceptions in flight when the writer was made
};
