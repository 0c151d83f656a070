// Interface of a stream codec. The caller owns both streams; a codec reads
// from the input's current position and writes at the output's, and neither
// rewinds, flushes nor closes them.
#pragma once

#include "archive/BitFile.h"

#include <cstdint>
#include <iosfwd>
#include <string>

class CCodec {
public:
    virtual ~CCodec();
    virtual void Encode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                        uint32_t stride) = 0;
    virtual void Decode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                        uint32_t stride) = 0;
    virtual std::string GetName() = 0;
};
