// Large images from small inputs: the input is a program that the target
// writes as an LZSS stream, the archive's header and directory as literals
// and each file's data as runs of the longest matches, so that a few hundred
// input bytes give images of up to 32 MiB. The stream is then read as kwz
// list and stamp read a payload: decoded into the growing memory buffer with
// a limit taken from the input, checked and loaded.
// Properties: an image within the limit loads with exactly the entries
// written (or is refused for a name the loader refuses); one beyond it is
// refused through the caller's refusal; a stream cut short is refused as
// such; and the size bounds that kwz stamp refuses with before decoding
// hold for every stream.
#include "fuzz/FuzzSupport.h"

#include "archive/BitFile.h"
#include "tools/kwz/LauncherBudget.h"
#include "tools/kwz/LoadedPayload.h"

#include <sstream>
#include <string>

namespace {

constexpr uint64_t kLargestTotal = 32u << 20;

// The input, read from the front; zeros once it is used up.
class CProgram {
public:
    CProgram(const uint8_t* data, size_t size) : at(data), end(data + size) {}
    uint32_t Byte() { return at < end ? *at++ : 0; }
    uint32_t Bits(int bytes)
    {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | Byte();
        return value;
    }

private:
    const uint8_t* at;
    const uint8_t* end;
};

// The stream's writer: literals and matches, tracking the ring position as
// the decoder will.
class CTokenWriter {
public:
    explicit CTokenWriter(std::ostream& out) : writer(out, nullptr, nullptr, 1) {}
    void Literal(uint8_t byte)
    {
        writer.WriteBits(0x100 | byte, 9);
        Advance(1);
    }
    void Literals(const std::string& bytes)
    {
        for (char c : bytes)
            Literal(static_cast<uint8_t>(c));
    }
    // length more copies of the byte just written (1 to 131 at a time).
    void Repeat(uint64_t length)
    {
        while (length > 0) {
            const uint32_t previous = (current - 1) & 0x1FFFFF;
            const uint32_t run = static_cast<uint32_t>(length < 131 ? length : 131);
            if (previous == 0 || run < 4) {
                Literal(last);
                length -= 1;
                continue;
            }
            writer.WriteBits(previous, 22);  // flag 0 and the position
            writer.WriteBits(run - 4, 7);
            Advance(run);
            length -= run;
        }
    }
    void End() { writer.WriteBits(0, 22); }
    void Remember(uint8_t byte) { last = byte; }

private:
    void Advance(uint32_t count) { current = (current + count) & 0x1FFFFF; }

    CBitFileWriter writer;
    uint32_t current = 1;
    uint8_t last = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CProgram program(data, size);
    const uint32_t count = program.Byte() % 6;
    std::vector<ArchiveFileInfo> files;
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        std::string name;
        for (uint32_t n = 1 + program.Byte() % 8; n > 0; --n)
            name += static_cast<char>(0x20 + program.Byte() % 0x5F);
        const uint64_t fileSize = (uint64_t{program.Bits(3)} << (program.Byte() % 6)) % (kLargestTotal / 4);
        if (total + fileSize > kLargestTotal)
            break;
        total += fileSize;
        files.push_back(ArchiveFileInfo{name, fileSize});
    }
    const uint32_t limitChoice = program.Bits(4);
    const bool cut = (program.Byte() & 0x0F) == 0;

    const std::string directory = ArchiveDirectoryBytes(files);
    const uint64_t imageSize = ArchiveImageSize(files);
    std::ostringstream out;
    {
        CTokenWriter tokens(out);
        tokens.Literals(directory);
        for (const ArchiveFileInfo& file : files) {
            if (file.size == 0)
                continue;
            const uint8_t fill = static_cast<uint8_t>(program.Byte());
            tokens.Literal(fill);
            tokens.Remember(fill);
            tokens.Repeat(file.size - 1);
        }
        tokens.End();
    }
    std::string payload = out.str();
    if (cut)
        payload.resize(payload.size() / 2);

    // What kwz stamp assumes before it decodes or encodes anything.
    if (!cut) {
        Require(SmallestImageOf(payload.size()) <= imageSize);
        Require(SmallestPayloadOf(imageSize) <= payload.size());
    }

    const uint64_t limit = (limitChoice & 1) != 0 ? kLargestImage : limitChoice % (imageSize + 64);
    bool refused = false;
    std::unique_ptr<CKwoException> raised;
    try {
        const CLoadedPayload loaded("payload", payload, false, limit, [&] {
            refused = true;
            ThrowError("BudgetError", "too large", 0, 0);
        });
        Require(!cut && imageSize <= limit);
        Require(loaded.ImageSize() == imageSize && loaded.Archive().GetEntryCount() == files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            const CArchiveEntry& entry = loaded.Archive().GetEntry(static_cast<uint32_t>(i));
            Require(entry.name == files[i].name && entry.size == files[i].size);
            Require(FileNameProblem(entry.name) == nullptr);
        }
    } catch (CKwoException* e) {
        raised.reset(e);
    }
    if (!raised)
        return 0;
    // Passing the limit stops the decode through the refusal, and nothing else does.
    if (refused) {
        Require(imageSize > limit || cut);
        return 0;
    }
    Require(cut || imageSize <= limit);
    if (!cut) {
        // Written whole and within the limit: only a name can be refused.
        bool badName = false;
        for (const ArchiveFileInfo& file : files)
            badName = badName || FileNameProblem(file.name) != nullptr;
        Require(badName);
    }
    return 0;
}
