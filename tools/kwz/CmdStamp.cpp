// kwz stamp STUB (DIR | PAYLOAD) OUT: a setup program made from a stub and a
// payload, without a compiler.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/MemoryStreams.h"
#include "tools/kwz/PackFolder.h"
#include "tools/kwz/pe/SetupProgram.h"

#include "base/KwoException.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

namespace {

// No setup program could hold a payload near 2 GiB: the rewriter keeps
// every image below that size.
constexpr size_t kPayloadLimit = 0x7FFFFFFF;

bool IsFolder(const std::string& path)
{
    std::error_code ignored;
    return path != "-" && std::filesystem::is_directory(std::filesystem::path(path), ignored);
}

// The payload of the files directly in folder, as kwz pack would write it.
std::string PackInMemory(const std::string& folder, unsigned codePage, LzssParse parse, bool quiet)
{
    const std::string image = PackFolderImage(folder, codePage);
    CStringOutputBuffer buffer(kPayloadLimit);
    std::ostream out(&buffer);
    EncodePayload(image, parse, quiet, out);
    if (buffer.Overflowed() || !out)
        ThrowError("PackError", ("cannot pack " + folder + ": the payload would exceed 2 GiB").c_str(), 0, 0);
    return buffer.Take();
}

int Stamp(const Arguments& given)
{
    Arguments args = given;
    const bool quiet = TakeFlag(args, "-q", "--quiet");
    const LzssParse parse = TakeParse(args);
    const unsigned codePage = TakeCodePage(args);
    ExpectOperands(args, 3, "stamp");
    const std::string& stubPath = args[0];
    const std::string& payloadPath = args[1];
    const std::string& outPath = args[2];
    if (stubPath == "-" && payloadPath == "-")
        UsageError("only one of STUB and PAYLOAD can be read from standard input");
    const bool folder = IsFolder(payloadPath);
    if (codePage != 0 && !folder)
        UsageError("--codepage applies to a folder packed on the fly, and " + payloadPath + " is not a folder");
    if (parse == LzssParse::kSmallest && !folder)
        UsageError("--smallest applies to a folder packed on the fly, and " + payloadPath +
                   " is not a folder (pack it with kwz pack --smallest)");

    // The stub first: a wrong stub should not cost a long packing run.
    const std::string stubName = stubPath == "-" ? "standard input" : stubPath;
    std::string stub = ReadInputFile(stubPath);
    {
        const CPeImage image(stub, stubName);
        CheckLauncherKind(image);
        ResourceTreeExtents(image);
    }
    std::string payload = folder ? PackInMemory(payloadPath, codePage, parse, quiet) : ReadInputFile(payloadPath);
    if (payload.empty())
        std::fprintf(stderr, "kwz: warning: %s is empty; the setup program will report \"Archive is corrupted.\"\n",
                     payloadPath.c_str());
    CResourceWriteNotes notes;
    const std::string program = StampSetupProgram(std::move(stub), stubName, std::move(payload), &notes);
    if (notes.signatureRemoved)
        std::fprintf(stderr,
                     "kwz: warning: %s carried an Authenticode signature, which stamping invalidates; it was "
                     "removed, sign %s again\n",
                     stubName.c_str(), outPath.c_str());
    WriteOutputFile(outPath, program);
    return kExitOk;
}

}  // namespace

const CommandInfo kStampCommand = {
    "stamp", "[-q] [--smallest] [--codepage N] STUB (DIR | PAYLOAD) OUT", "put a payload into a setup program",
    "Writes OUT, a copy of the setup program STUB whose resources also hold the\n"
    "payload: PAYLOAD as it is (a file that kwz pack wrote), or the files of DIR\n"
    "packed on the fly. A payload that STUB already carries is replaced, so any\n"
    "setup program can serve as STUB. The same STUB and payload always give the\n"
    "same bytes. STUB or PAYLOAD may be - for standard input, OUT - for standard\n"
    "output; on any error OUT is not written.\n"
    "\n"
    "The payload is the resource of type \"KWZ\", name 137, language neutral (0),\n"
    "which the launcher's FindResourceA finds first in any locale.\n"
    "\n"
    "STUB must be a launcher program: x86 (PE32) or x64 (PE32+), not a DLL.\n"
    "Its resource section is rebuilt in place when it is the last section;\n"
    "otherwise (the usual MinGW layout, with .reloc after it) the resources\n"
    "move to a new last section and the old one keeps its addresses but no file\n"
    "bytes. Everything else keeps its meaning: sections, symbols, debug data\n"
    "and data appended after the last section. The checksum is recomputed.\n"
    "Refused with a message: files that are not PE programs, DLLs, other\n"
    "machines (ARM, ARM64), truncated or inconsistent headers, resource trees\n"
    "that reach outside the file or loop, damaged relocation tables, references\n"
    "past the end of the image, and layouts that leave no room for another\n"
    "section header.\n"
    "\n"
    "Signing: an Authenticode signature of STUB cannot survive (it covers the\n"
    "resources), so it is removed with a warning. Sign OUT afterwards, for\n"
    "example with osslsigncode or signtool; the payload then lies inside the\n"
    "signed image.\n"
    "\n"
    "Options (for DIR, as kwz pack takes them):\n"
    "  --smallest    encode for the smallest payload (see kwz help pack)\n"
    "  --codepage N  store the names in Windows code page N\n"
    "  -q, --quiet   no progress bar\n",
    Stamp};
