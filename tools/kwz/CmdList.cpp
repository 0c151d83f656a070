// kwz list PAYLOAD: the entries of a payload, as the launcher would see them.
#include "tools/kwz/Command.h"
#include "tools/kwz/JsonText.h"
#include "tools/kwz/LoadedPayload.h"
#include "tools/kwz/ProgressBar.h"

#include "archive/ArchiveName.h"

#include <cstdio>
#include <string>

namespace {

double Ratio(const CLoadedPayload& payload)
{
    return static_cast<double>(payload.PayloadSize()) / static_cast<double>(payload.ImageSize());
}

void PrintText(const CLoadedPayload& payload)
{
    const CArchive& archive = payload.Archive();
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& entry = archive.GetEntry(i);
        std::printf("%12lu  %s\n", static_cast<unsigned long>(entry.size), PrintableName(entry.name).c_str());
    }
    std::printf("%lu %s, image %lu bytes, payload %lu bytes, ratio %.1f%%\n",
                static_cast<unsigned long>(archive.GetEntryCount()), archive.GetEntryCount() == 1 ? "entry" : "entries",
                static_cast<unsigned long>(payload.ImageSize()), static_cast<unsigned long>(payload.PayloadSize()),
                100 * Ratio(payload));
}

void PrintJson(const CLoadedPayload& payload)
{
    const CArchive& archive = payload.Archive();
    std::printf("{\n  \"entries\": [");
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& entry = archive.GetEntry(i);
        const size_t offset = static_cast<size_t>(entry.chunks[0]->data - payload.ImageData());
        std::printf("%s\n    {\"name\": %s, \"size\": %lu, \"offset\": %lu}", i == 0 ? "" : ",",
                    JsonString(entry.name).c_str(), static_cast<unsigned long>(entry.size),
                    static_cast<unsigned long>(offset));
    }
    std::printf("%s],\n", archive.GetEntryCount() == 0 ? "" : "\n  ");
    std::printf("  \"count\": %lu,\n  \"imageSize\": %lu,\n  \"payloadSize\": %lu,\n  \"ratio\": %.4f\n}\n",
                static_cast<unsigned long>(archive.GetEntryCount()), static_cast<unsigned long>(payload.ImageSize()),
                static_cast<unsigned long>(payload.PayloadSize()), Ratio(payload));
}

int List(const Arguments& given)
{
    Arguments args = given;
    const bool json = TakeFlag(args, nullptr, "--json");
    const bool quiet = TakeFlag(args, "-q", "--quiet");
    ExpectOperands(args, 1, "list");
    const CLoadedPayload payload(args[0], ShowProgress(quiet));
    if (json)
        PrintJson(payload);
    else
        PrintText(payload);
    std::fflush(stdout);
    return kExitOk;
}

}  // namespace

const CommandInfo kListCommand = {
    "list", "[--json] [-q] PAYLOAD", "list the files of a payload",
    "Decodes PAYLOAD (- for standard input) and checks it as the launcher's loader\n"
    "does, then prints each entry's size and name in directory order, and the\n"
    "totals: entry count, image size, payload size and the ratio of the two.\n"
    "Bytes of a name outside printable ASCII are shown as \\xNN.\n"
    "PAYLOAD may also be a setup program: its payload resource is listed.\n"
    "\n"
    "Options:\n"
    "  --json       one JSON object instead: \"entries\" (each with \"name\", \"size\"\n"
    "               and \"offset\"), \"count\", \"imageSize\", \"payloadSize\" and\n"
    "               \"ratio\" (payload size over image size). A name byte above 0x7F is\n"
    "               written as the code point of the same value.\n"
    "  -q, --quiet  no progress bar while decoding (shown only on a terminal)\n",
    List};
