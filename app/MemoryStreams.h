// In-memory byte streams of the extraction: the payload copy that the decoder
// reads, and the growing archive image that it writes and that the archive
// then reads in place.
#pragma once

#include "archive/ArchiveFormat.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <streambuf>
#include <vector>

// Read side: holds its own copy of the bytes it was given.
class CPayloadStream {
public:
    CPayloadStream(const void* bytes, size_t size);
    CPayloadStream(const CPayloadStream&) = delete;
    CPayloadStream& operator=(const CPayloadStream&) = delete;

    std::istream& Stream() { return stream; }

private:
    class CBuffer : public std::streambuf {
    public:
        CBuffer(const void* bytes, size_t size);

    private:
        std::vector<char> copy;
    };

    CBuffer buffer;
    std::istream stream;
};

// Write side: the image in one block of address space that never moves, so
// that growing it copies nothing and needs no second block beside the first.
//
// Growth policy. At the first write the stream reserves, without committing
// memory, one block for the whole image: largestImage bytes when the
// address space has room (a 64-bit process always has), else the largest
// free block there is (a 32-bit one). It commits memory as the image grows,
// in steps of a quarter of what it holds (at least 1 MiB). So the peak is
// the image itself, in the one block reserved at the start. An image that
// outgrows largestImage (an archive's offsets reach 4 GiB - 1 bytes) raises
// "ArchiveError" "Archive is corrupted."; one that outgrows the reserved
// block, or memory that cannot be committed, raises std::bad_alloc. Both go
// through the stream, whose exception mask holds badbit.
class CImageStream {
public:
    explicit CImageStream(uint64_t largestImage = kLargestImage);
    CImageStream(const CImageStream&) = delete;
    CImageStream& operator=(const CImageStream&) = delete;

    std::ostream& Stream() { return stream; }
    const uint8_t* Data() const;
    size_t Size() const;

private:
    class CBuffer : public std::streambuf {
    public:
        explicit CBuffer(uint64_t largestImage);
        ~CBuffer() override;
        CBuffer(const CBuffer&) = delete;
        CBuffer& operator=(const CBuffer&) = delete;

        const uint8_t* Data() const { return reinterpret_cast<const uint8_t*>(block); }
        size_t Size() const { return areaStart + static_cast<size_t>(pptr() - pbase()); }

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* bytes, std::streamsize count) override;

    private:
        void Grow(size_t atLeast);
        void Reserve();
        void SetArea(size_t used);

        uint64_t largestImage;
        char* block = nullptr;  // the reserved block, null until the first write
        size_t reserved = 0;
        size_t committed = 0;
        size_t areaStart = 0;   // where in block the put area begins
    };

    CBuffer buffer;
    std::ostream stream;
};
