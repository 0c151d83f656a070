#include "app/MemoryStreams.h"

#include <cstring>
#include <new>

CPayloadStream::CBuffer::CBuffer(const void* bytes, size_t size)
    : copy(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size)
{
    setg(copy.data(), copy.data(), copy.data() + copy.size());
}

CPayloadStream::CPayloadStream(const void* bytes, size_t size) : buffer(bytes, size), stream(&buffer)
{
}

CImageStream::CImageStream() : stream(&buffer)
{
    // An allocation failure while the image grows must end the decode rather
    // than leave a silently shortened image behind.
    stream.exceptions(std::ios::badbit);
}

const uint8_t* CImageStream::Data() const
{
    return buffer.Data();
}

size_t CImageStream::Size() const
{
    return buffer.Size();
}

void CImageStream::CBuffer::Grow(size_t atLeast)
{
    const size_t used = Size();
    size_t capacity = bytes.empty() ? 64 * 1024 : bytes.size();
    while (capacity - used < atLeast) {
        if (capacity > bytes.max_size() / 2)
            throw std::bad_alloc();
        capacity *= 2;
    }
    bytes.resize(capacity);
    setp(bytes.data(), bytes.data() + bytes.size());
    pbump(static_cast<int>(used));
}

CImageStream::CBuffer::int_type CImageStream::CBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    Grow(1);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize CImageStream::CBuffer::xsputn(const char* data, std::streamsize count)
{
    if (count <= 0)
        return 0;
    const size_t size = static_cast<size_t>(count);
    if (static_cast<size_t>(epptr() - pptr()) < size)
        Grow(size);
    std::memcpy(pptr(), data, size);
    pbump(static_cast<int>(count));
    return count;
}
