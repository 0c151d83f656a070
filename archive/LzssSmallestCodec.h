// The LZSS codec whose encoder sends the smallest stream the format can
// express with the match tree's sources, instead of the exact parse's tokens
// (LzssSmallestParse.cpp). Its streams decode with any CLzssCodec, the
// launcher's included, at the same speed; it encodes at about the exact
// encoder's speed and with 3 MiB more memory for the parse.
#pragma once

#include "archive/LzssCodec.h"
#include "archive/LzssSmallestParse.h"

#include <memory>

class CLzssSmallestCodec : public CLzssCodec {
public:
    void Encode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                uint32_t stride) override;

private:
    CLzssSmallestParse parse;
};

// The two parses, for a caller that chooses one once.
enum class LzssParse {
    kExact,     // CLzssCodec: the format's own encoder, token for token
    kSmallest,  // CLzssSmallestCodec
};

// A fresh codec whose encoder uses parse.
std::unique_ptr<CLzssCodec> NewLzssEncoder(LzssParse parse);
