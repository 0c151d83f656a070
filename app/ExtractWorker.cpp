// The worker thread's half of the extraction.
#include "app/ExtractWorker.h"

#include "app/MemoryStreams.h"
#include "app/SetupMessages.h"
#include "app/SetupState.h"
#include "archive/Archive.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <cstring>
#include <exception>
#include <memory>
#include <new>

namespace {

// Text for failures that are neither CKwoException objects nor out of memory.
constexpr const char* kUnexpectedText = "Unexpected error while extracting the files.";

// The payload resource, mapped read-only by the platform for the process's life.
struct PayloadBytes {
    const void* bytes;
    uint32_t size;
};

PayloadBytes FindPayload()
{
    HRSRC resource = FindResourceA(appInstance, MAKEINTRESOURCEA(IDR_PAYLOAD), "KWZ");
    if (resource == nullptr)
        ThrowWin32Error("ArchiveError", "Archive is missing.", 0, 0);
    const DWORD size = SizeofResource(appInstance, resource);
    if (size == 0)
        ThrowWin32Error("ArchiveError", "Archive is corrupted.", 0, 0);
    HGLOBAL loaded = LoadResource(appInstance, resource);
    if (loaded == nullptr)
        ThrowWin32Error("ArchiveError", "Archive is corrupted.", 0, 0);
    const void* bytes = LockResource(loaded);
    if (bytes == nullptr)
        ThrowWin32Error("ArchiveError", "Archive is corrupted.", 0, 0);
    return PayloadBytes{bytes, size};
}

// Ends the run when the window has asked the worker to stop.
void StopIfAsked()
{
    if (stopRequested.load())
        ThrowError("Error", "The extraction was stopped.", 0, 0);
}

void ExtractPayload(HWND window)
{
    const PayloadBytes payload = FindPayload();
    CImageStream decoded;
    {
        CPayloadStream compressed(payload.bytes, payload.size);
        std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
        ProgressSink sink = {payload.size, window};
        codec->Decode(compressed.Stream(), decoded.Stream(), ReportProgress, &sink, ProgressStride(payload.size));
    }  // codec, then the payload copy, released before the archive is read

    std::unique_ptr<CArchive> archive(new CArchive);
    archive->Load(decoded.Data(), decoded.Size());
    for (uint32_t i = 0; i < archive->GetEntryCount(); ++i) {
        StopIfAsked();
        archive->ExtractEntry(i, extractionFolder.c_str());
    }
}

// Hands text to the window with WM_SETUP_ERROR. A copy that cannot be made is
// posted as a null text, for which the window shows kOutOfMemoryText.
void PostErrorText(HWND window, const char* text) noexcept
{
    const size_t length = std::strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy != nullptr)
        std::memcpy(copy, text, length + 1);
    if (!PostMessageA(window, WM_SETUP_ERROR, 0, reinterpret_cast<LPARAM>(copy)))
        delete[] copy;  // nobody else owns it
}

}  // namespace

uint32_t ProgressStride(uint32_t payloadSize)
{
    const uint32_t stride = payloadSize / 100;
    return stride > 0 ? stride : 1;
}

void ReportProgress(uint32_t count, void* context)
{
    StopIfAsked();
    const ProgressSink* sink = static_cast<const ProgressSink*>(context);
    const double fraction = static_cast<double>(count) / static_cast<double>(sink->totalBytes);
    // Not below 1 includes a quotient that is not a number.
    progressFraction.store(fraction < 1.0 ? fraction : 1.0, std::memory_order_relaxed);
    PostMessageA(sink->notifyWindow, WM_SETUP_PROGRESS, 0, 0);
}

DWORD WINAPI ExtractWorker(LPVOID parameter)
{
    HWND window = static_cast<HWND>(parameter);
    std::unique_ptr<CKwoException> error;
    const char* failure = nullptr;
    try {
        ExtractPayload(window);
    } catch (CKwoException* raw) {
        error.reset(raw);
        failure = error->MessageText().c_str();
    } catch (const std::bad_alloc&) {
        failure = kOutOfMemoryText;
    } catch (...) {
        failure = kUnexpectedText;
    }
    // A stop that the window asked for is no error to show; the window is
    // gone or going.
    if (failure != nullptr && !stopRequested.load())
        PostErrorText(window, failure);
    PostMessageA(window, WM_SETUP_DONE, 0, 0);
    return 0;
}
