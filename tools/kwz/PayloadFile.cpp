#include "tools/kwz/PayloadFile.h"

#include "tools/kwz/FileIo.h"
#include "tools/kwz/MemoryStreams.h"
#include "tools/kwz/pe/SetupProgram.h"

#include "archive/ArchiveFormat.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <cstring>
#include <memory>
#include <ostream>

namespace {

// Takes the first bytes of a decode and then stops it.
class CSignatureProbe : public std::streambuf {
public:
    struct CFull {};
    CSignatureProbe() { setp(bytes, bytes + sizeof bytes); }
    size_t Size() const { return static_cast<size_t>(pptr() - pbase()); }
    const char* Bytes() const { return bytes; }

protected:
    int_type overflow(int_type) override { throw CFull(); }

private:
    char bytes[kSignatureSize];
};

[[noreturn]] void RaiseNotAPayload(const std::string& name, const char* why)
{
    ThrowError("PayloadError", (name + " is neither a payload nor a setup program: " + why).c_str(), 0, 0);
}

}  // namespace

void CheckStartsLikePayload(const std::string& name, const std::string& bytes)
{
    if (bytes.empty())
        RaiseNotAPayload(name, "it is empty");
    CMemoryInputBuffer inputBuffer(bytes, nullptr);
    std::istream input(&inputBuffer);
    CSignatureProbe probe;
    std::ostream output(&probe);
    // The probe's stop goes through the stream, not into its state.
    output.exceptions(std::ios::badbit);
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    bool ended = false;
    try {
        codec->Decode(input, output, nullptr, nullptr, 1);
        ended = true;
    } catch (const CSignatureProbe::CFull&) {
    } catch (CKwoException* raw) {
        delete raw;  // cut short: what came out so far decides
    }
    // Cut short after a start of the signature, it is a payload cut short;
    // before any byte, nothing says that it ever was one.
    if (probe.Size() == 0)
        RaiseNotAPayload(name, ended ? "it decodes to nothing" : "it ends before a byte of it decodes");
    if (std::memcmp(probe.Bytes(), kArchiveSignature, probe.Size()) != 0)
        RaiseNotAPayload(name, "decoded, it does not start with the archive signature");
}

std::string ReadPayloadFile(const std::string& path)
{
    std::string bytes = ReadInputFile(path);
    // A payload never starts with "MZ": its first token is a literal, whose
    // first bit is 1.
    if (LooksLikePeFile(bytes))
        return ReadSetupPayload(bytes, InputName(path));
    CheckStartsLikePayload(InputName(path), bytes);
    return bytes;
}

std::string ReadPayloadForStamp(const std::string& path)
{
    std::string bytes = ReadInputFile(path);
    if (LooksLikePeFile(bytes)) {
        const std::string name = InputName(path);
        std::string payload;
        try {
            payload = ReadSetupPayload(bytes, name);
        } catch (CKwoException* raw) {
            delete raw;
            ThrowError("PayloadError", (name + " is a Windows program, not a payload; give a file that kwz pack "
                                               "wrote, or a folder").c_str(),
                       0, 0);
        }
        ThrowError("PayloadError",
                   (name + " is a setup program, not a payload. To put its payload into another stub, take its "
                           "files out first (kwz unpack " + name + " DIR) and stamp DIR; to replace its payload, "
                           "give it as STUB").c_str(),
                   0, 0);
    }
    CheckStartsLikePayload(InputName(path), bytes);
    return bytes;
}
