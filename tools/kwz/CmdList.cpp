// kwz list PAYLOAD: the entries of a payload, as the launcher would see them.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/JsonText.h"
#include "tools/kwz/LoadedPayload.h"
#include "tools/kwz/PayloadFile.h"
#include "tools/kwz/ProgressBar.h"
#include "tools/kwz/Summary.h"

#include "archive/ArchiveName.h"

#include <cstdio>
#include <string>

namespace {

std::string Text(const CLoadedPayload& payload)
{
    const CArchive& archive = payload.Archive();
    std::string text;
    char line[64];
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& entry = archive.GetEntry(i);
        std::snprintf(line, sizeof line, "%12lu  ", static_cast<unsigned long>(entry.size));
        text += line + PrintableName(entry.name) + "\n";
    }
    return text + TotalsText(archive.GetEntryCount(), payload.ImageSize(), payload.PayloadSize()) + "\n";
}

std::string Json(const CLoadedPayload& payload)
{
    const CArchive& archive = payload.Archive();
    std::string text = "{\n  \"entries\": [";
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& entry = archive.GetEntry(i);
        const size_t offset = static_cast<size_t>(entry.chunks[0]->data - payload.ImageData());
        text += std::string(i == 0 ? "" : ",") + "\n    {\"name\": " + JsonString(entry.name) +
                ", \"size\": " + std::to_string(entry.size) + ", \"offset\": " + std::to_string(offset) + "}";
    }
    text += archive.GetEntryCount() == 0 ? "],\n" : "\n  ],\n";
    const double ratio = static_cast<double>(payload.PayloadSize()) / static_cast<double>(payload.ImageSize());
    char totals[200];
    std::snprintf(totals, sizeof totals,
                  "  \"count\": %lu,\n  \"imageSize\": %llu,\n  \"payloadSize\": %llu,\n  \"ratio\": %.4f\n}\n",
                  static_cast<unsigned long>(archive.GetEntryCount()),
                  static_cast<unsigned long long>(payload.ImageSize()),
                  static_cast<unsigned long long>(payload.PayloadSize()), ratio);
    return text + totals;
}

int List(const Arguments& given)
{
    Arguments args = given;
    const bool json = TakeFlag(args, nullptr, "--json");
    const bool quiet = TakeFlag(args, "-q", "--quiet");
    ExpectOperands(args, 1, "list");
    const std::string name = InputName(args[0]);
    const CLoadedPayload payload(name, ReadPayloadFile(args[0]), ShowProgress(quiet));
    WriteStandardOutput(json ? Json(payload) : Text(payload));
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
