// Unformatted single-byte transfers with exactly the effect of istream::get
// and ostream::put, at the cost of an inline buffer access.
//
// The standard operations build a sentry, which on a good stream without a
// tie (and, for output, without unitbuf) does nothing, and then call sbumpc
// or sputc, which touch only the buffer's pointers while its get or put area
// has room. Under those conditions the transfer below goes to the area
// directly; in every other case (end of the area, a stream that is not good,
// a tie, unitbuf) it calls get or put itself, so the stream's failbit, badbit
// and eofbit, its exception mask and a throwing stream buffer behave exactly
// as with them. Only gcount() is left untouched by the direct path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <ostream>
#include <streambuf>

class CBitFileStreamIo {
public:
    // The next byte (0 to 255), or EOF with the stream's state set as get sets it.
    static int Get(std::istream& input)
    {
        std::streambuf* buffer = input.rdbuf();
        if (input.rdstate() == std::ios_base::goodbit && input.tie() == nullptr && buffer != nullptr &&
            CArea::Readable(buffer) > 0)
            return buffer->sbumpc();
        return input.get();
    }

    // Writes one byte as output.put(byte) does.
    static void Put(std::ostream& output, uint8_t byte)
    {
        std::streambuf* buffer = output.rdbuf();
        if (IsPlain(output) && CArea::Writable(buffer) > 0)
            buffer->sputc(static_cast<char>(byte));
        else
            output.put(static_cast<char>(byte));
    }

    // Writes count bytes (1 to INT_MAX) as count calls of Put would.
    static void Put(std::ostream& output, const uint8_t* bytes, int count)
    {
        std::streambuf* buffer = output.rdbuf();
        if (count > 0 && IsPlain(output) && CArea::Writable(buffer) >= count) {
            CArea::Append(buffer, bytes, count);
            return;
        }
        for (int i = 0; i < count; ++i)
            Put(output, bytes[i]);
    }

private:
    // A good output stream on which put does nothing but sputc.
    static bool IsPlain(std::ostream& output)
    {
        return output.rdstate() == std::ios_base::goodbit && output.tie() == nullptr &&
               (output.flags() & std::ios_base::unitbuf) == 0 && output.rdbuf() != nullptr;
    }

    // The get and put areas are protected members of std::streambuf; a
    // pointer to member named through this derived class reaches them on
    // any stream buffer. Never instantiated.
    class CArea : public std::streambuf {
    public:
        static std::ptrdiff_t Readable(std::streambuf* buffer)
        {
            return (buffer->*&CArea::egptr)() - (buffer->*&CArea::gptr)();
        }
        static std::ptrdiff_t Writable(std::streambuf* buffer)
        {
            return (buffer->*&CArea::epptr)() - (buffer->*&CArea::pptr)();
        }
        static void Append(std::streambuf* buffer, const uint8_t* bytes, int count)
        {
            std::memcpy((buffer->*&CArea::pptr)(), bytes, static_cast<size_t>(count));
            (buffer->*&CArea::pbump)(count);
        }
    };
};
