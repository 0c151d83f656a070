#include "archive/LzssSmallestCodec.h"

void CLzssSmallestCodec::Encode(std::istream& input, std::ostream& output, ProgressCallback callback,
                                void* context, uint32_t stride)
{
    EncodeWith(input, output, callback, context, stride,
               [this](CLzssMatchFinder& finder, CLzssTokenWriter& writer) { parse.Run(finder, writer); });
}

std::unique_ptr<CLzssCodec> NewLzssEncoder(LzssParse parse)
{
    if (parse == LzssParse::kSmallest)
        return std::unique_ptr<CLzssCodec>(new CLzssSmallestCodec);
    return std::unique_ptr<CLzssCodec>(new CLzssCodec);
}
