// In-memory byte streams of the extraction: the payload copy that the decoder
// reads, and the growing archive image that it writes and that the archive
// then reads in place.
#pragma once

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

// Write side: a growable buffer whose contents stay where they are as long as
// nothing more is written. A failed growth raises through the stream.
class CImageStream {
public:
    CImageStream();
    CImageStream(const CImageStream&) = delete;
    CImageStream& operator=(const CImageStream&) = delete;

    std::ostream& Stream() { return stream; }
    const uint8_t* Data() const;
    size_t Size() const;

private:
    class CBuffer : public std::streambuf {
    public:
        const uint8_t* Data() const { return reinterpret_cast<const uint8_t*>(pbase()); }
        size_t Size() const { return static_cast<size_t>(pptr() - pbase()); }

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* bytes, std::streamsize count) override;

    private:
        void Grow(size_t atLeast);
        std::vector<char> bytes;
    };

    CBuffer buffer;
    std::ostream stream;
};
