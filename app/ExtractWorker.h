// The extraction: StartExtraction prepares the folder on the main thread and
// starts ExtractWorker, which decodes the payload resource and writes the
// archive's files into the folder, reporting to the window only by messages.
#pragma once

#include <windows.h>

#include <cstdint>

// Context of the decoder's progress callback; lives on the worker's stack.
struct ProgressSink {
    uint32_t totalBytes;  // size of the payload resource
    HWND notifyWindow;    // the progress window
};

// Prepares "KwoWarden.tmp\" below the user's temporary folder (see
// PrepareExtractionFolder), which sets extractionFolder, and starts the
// worker. Raises CKwoException when the folder cannot be found or prepared.
void StartExtraction(HWND window);

// Asks a running worker to stop and waits for its end; returns at once when
// none was started or it has ended.
void StopExtraction();

// Thread routine; the parameter is the progress window. Posts WM_SETUP_ERROR
// (at most once, and never after a stop that was asked for) and always
// WM_SETUP_DONE as its last message. Returns 0.
DWORD WINAPI ExtractWorker(LPVOID window);

// ProgressCallback of the decode: stores count / totalBytes (at most 1) in
// progressFraction and posts WM_SETUP_PROGRESS. Once stopRequested is set it
// raises instead, which ends the decode.
void ReportProgress(uint32_t count, void* sink);

// Stride of the progress callback for a payload of the given size: about a
// hundred reports whatever the size, and never 0.
uint32_t ProgressStride(uint32_t payloadSize);
