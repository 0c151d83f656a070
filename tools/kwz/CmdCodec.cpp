// kwz compress / kwz decompress: the raw codec stream, no header.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/MemoryStreams.h"

#include "archive/LzssCodec.h"
#include "archive/LzssSmallestCodec.h"
#include "base/KwoException.h"

#include <memory>
#include <istream>

namespace {

enum class Direction { kEncode, kDecode };

// The decoder's own complaint (a stream cut before its end token) says
// nothing of the file; the message names it. Errors of the output name
// theirs already and pass as they are.
void DecodeNamed(CLzssCodec& codec, std::istream& input, COutputFile& output, const std::string& path)
{
    try {
        codec.Decode(input, output.Stream(), nullptr, nullptr, 1);
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        if (e->Category() != "BitFileError")
            throw e.release();
        ThrowError("BitFileError", (InputName(path) + ": the stream is cut short: " + e->MessageText()).c_str(), 0, 0);
    }
}

int RunCodec(const Arguments& given, Direction direction, const char* name)
{
    Arguments args = given;
    const bool smallest = direction == Direction::kEncode && TakeFlag(args, nullptr, "--smallest");
    ExpectOperands(args, 2, name);
    const std::string data = ReadInputFile(args[0]);
    CMemoryInputBuffer inputBuffer(data, nullptr);
    std::istream input(&inputBuffer);
    COutputFile output(args[1]);
    std::unique_ptr<CLzssCodec> codec = NewLzssEncoder(smallest ? LzssParse::kSmallest : LzssParse::kExact);
    if (direction == Direction::kEncode)
        codec->Encode(input, output.Stream(), nullptr, nullptr, 1);
    else
        DecodeNamed(*codec, input, output, args[0]);
    output.Commit();
    return kExitOk;
}

int Compress(const Arguments& args)
{
    return RunCodec(args, Direction::kEncode, "compress");
}

int Decompress(const Arguments& args)
{
    return RunCodec(args, Direction::kDecode, "decompress");
}

}  // namespace

const CommandInfo kCompressCommand = {
    "compress", "[--smallest] IN OUT", "encode a file into a raw LZSS stream",
    "Encodes IN with the launcher's LZSS codec and writes the raw stream to OUT:\n"
    "no header, exactly the bytes the launcher's decoder reads. Either may be -\n"
    "for standard input or output. On an error OUT is left as it was (see kwz\n"
    "help pack for how each kind of OUT is written).\n"
    "\n"
    "Options:\n"
    "  --smallest  choose the tokens for the smallest stream instead of those of\n"
    "              the format's own encoder (see kwz help pack); the same decoder\n"
    "              reads it, just as fast\n",
    Compress};

const CommandInfo kDecompressCommand = {
    "decompress", "IN OUT", "decode a raw LZSS stream",
    "Decodes the raw LZSS stream IN and writes the bytes to OUT. Either may be -\n"
    "for standard input or output. A stream that ends before its end token is an\n"
    "error (\"Unexpected end of file reached.\") and leaves OUT as it was.\n",
    Decompress};
