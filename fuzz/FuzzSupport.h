// What the fuzz targets share: one codec for the whole run, the check that
// stops the run, and the loading and listing of an archive image.
#pragma once

#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"
#include "archive/ArchiveName.h"
#include "archive/ArchiveWriter.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

// It holds 27 MB that would otherwise be allocated and cleared for every input.
inline CLzssCodec& Codec()
{
    static CLzssCodec* codec = new CLzssCodec;
    return *codec;
}

inline void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// Runs fn; true when it raised a CKwoException, which is freed. Anything else
// it throws ends the run.
template <typename Fn>
bool Raises(Fn&& fn)
{
    try {
        fn();
    } catch (CKwoException* e) {
        delete e;
        return true;
    }
    return false;
}

// Loads image; true when accepted, with the entries' names and sizes in
// listed. An accepted image has plain names and data areas inside it: the
// first and last byte of every area are touched, so that the sanitizer sees
// any area reaching past the image.
inline bool LoadAndList(const uint8_t* image, size_t length, std::vector<ArchiveFileInfo>& listed)
{
    CArchive archive;
    if (Raises([&] { archive.Load(image, length); })) {
        Require(archive.GetEntryCount() == 0);
        return false;
    }
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& entry = archive.GetEntry(i);
        Require(FileNameProblem(entry.name) == nullptr);
        Require(entry.chunks.size() == 1 && entry.chunks[0]->length == entry.size);
        const uint8_t* data = entry.chunks[0]->data;
        Require(data >= image && static_cast<size_t>(data - image) + entry.size <= length);
        if (entry.size > 0)
            sink = static_cast<uint8_t>(sink + data[0] + data[entry.size - 1]);
        PrintableName(entry.name);
        listed.push_back(ArchiveFileInfo{entry.name, entry.size});
    }
    (void)sink;
    return true;
}
