// Bit stream over a standard byte stream: bits most significant first, one
// byte at a time through the stream, every byte counted, a progress callback
// on the 1st, (stride+1)th, (2*stride+1)th ... byte.
#pragma once

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

    // Counts one byte moved and calls the callback when its turn has come.
    void CountByte();

    uint8_t bitMask;      // next bit within currentByte; 0x80 at a byte boundary
    int32_t currentByte;  // reader: byte fetched last; writer: bits gathered
    uint32_t byteCount;   // bytes moved by bit and value operations
    ProgressCallback callback;
    void* context;
    uint32_t stride;
};

class CBitFileReader : public CBitFile {
public:
    CBitFileReader(std::istream& stream, ProgressCallback callback, void* context, uint32_t stride);
    ~CBitFileReader() noexcept(false) override;

    // Next bit, 1 or 0. Raises "BitFileError" "Unexpected end of file reached."
    int ReadBit();
    // Next n bits (1 to 32), the first read being the most significant.
    uint32_t ReadBits(int n);

private:
    std::istream& stream;
};

class CBitFileWriter : public CBitFile {
public:
    CBitFileWriter(std::ostream& stream, ProgressCallback callback, void* context, uint32_t stride);
    // Writes a pending partial byte, filled with 0 bits.
    ~CBitFileWriter() noexcept(false) override;

    // Raise "BitFileError" "Unable to write in a stream." on a failed write.
    void WriteBit(int bit);
    void WriteBits(uint32_t value, int n);

private:
    std::ostream& stream;
};
