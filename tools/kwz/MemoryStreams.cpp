#include "tools/kwz/MemoryStreams.h"

#include <algorithm>

namespace {

constexpr size_t kPieceSize = 256 * 1024;

}  // namespace

CMemoryInputBuffer::CMemoryInputBuffer(const std::string& data, CProgressBar* bar_)
    : first(data.data()), last(data.data() + data.size()), next(first), bar(bar_)
{
}

CMemoryInputBuffer::int_type CMemoryInputBuffer::underflow()
{
    if (gptr() != nullptr && gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    if (bar != nullptr)
        bar->Update(static_cast<uint64_t>(next - first));
    if (next == last)
        return traits_type::eof();
    const size_t piece = std::min(kPieceSize, static_cast<size_t>(last - next));
    // The buffer only reads; the cast is what the streambuf interface needs.
    char* begin = const_cast<char*>(next);
    setg(begin, begin, begin + piece);
    next += piece;
    return traits_type::to_int_type(*gptr());
}

CStringOutputBuffer::CStringOutputBuffer(size_t limit_) : limit(limit_)
{
    setp(nullptr, nullptr);
}

CStringOutputBuffer::int_type CStringOutputBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const size_t used = Written();
    // Doubling keeps the cost of growth linear in the bytes written.
    const size_t grown = std::min(limit, std::max<size_t>(64 * 1024, bytes.size() * 2));
    if (grown <= used) {
        overflowed = true;
        return traits_type::eof();
    }
    bytes.resize(grown);
    // The put area starts at the first free byte, so no pbump (an int) is
    // needed to get past what is written, however large the image.
    areaStart = used;
    setp(&bytes[0] + used, &bytes[0] + bytes.size());
    return sputc(traits_type::to_char_type(c));
}

CStringOutputBuffer::pos_type CStringOutputBuffer::seekoff(off_type offset, std::ios_base::seekdir way,
                                                          std::ios_base::openmode which)
{
    if (offset != 0 || way != std::ios_base::cur || (which & std::ios_base::out) == 0)
        return pos_type(off_type(-1));
    return pos_type(static_cast<off_type>(Written()));
}

size_t CStringOutputBuffer::Written() const
{
    return areaStart + static_cast<size_t>(pptr() - pbase());
}

std::string CStringOutputBuffer::Take()
{
    bytes.resize(Written());
    setp(nullptr, nullptr);
    areaStart = 0;
    std::string out;
    out.swap(bytes);
    return out;
}
