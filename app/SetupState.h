// Process-wide values of the launcher. All of them belong to the main thread,
// except that the extraction worker reads appInstance and extractionFolder
// (both set before it starts) and stopRequested, and writes progressFraction.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

// Identifiers of the program's own resources.
constexpr UINT IDS_WINDOW_TITLE = 103;  // "Kwo Warden Setup"
constexpr UINT IDS_WINDOW_CLASS = 109;  // "KWOINC.KWOWARDEN.SETUP.20"
constexpr WORD IDI_SETUP = 108;
constexpr WORD IDB_TRACK_COLUMN = 129;
constexpr WORD IDB_TRACK_RIGHT = 130;
constexpr WORD IDB_TRACK_LEFT = 131;
constexpr WORD IDB_FILL_LEFT = 132;
constexpr WORD IDB_FILL_RIGHT = 133;
constexpr WORD IDB_FILL_COLUMN = 134;
constexpr WORD IDR_PAYLOAD = 137;  // type "KWZ"

// Caption of every error box that reports a failed setup.
constexpr const char* kSetupErrorCaption = "Kwo Warden Setup";

// Shown for an allocation failure that no CKwoException describes.
constexpr const char* kOutOfMemoryText = "Not enough memory to extract the files.";

constexpr int kTextBufferSize = 100;

extern HINSTANCE appInstance;                  // the program's module, for its resources
extern char windowTitle[kTextBufferSize];      // string 103
extern char windowClassName[kTextBufferSize];  // string 109, also the single-instance key
extern HFONT textFont;                         // every text of the window
extern bool errorShown;                        // an error box has been shown

// Absolute path of the extraction folder, ending in "\"; empty until
// StartExtraction has prepared the folder.
extern std::string extractionFolder;

// The extraction worker, from its start until StopExtraction has seen it end.
extern HANDLE workerThread;
// Set by the main thread when the window goes: the worker ends at its next
// step without reporting an error.
extern std::atomic<bool> stopRequested;

// Share of the payload decoded so far, 0 to 1. Written only by the worker and
// read by the painting; relaxed access is all the bar needs.
extern std::atomic<double> progressFraction;

// The installer's process and thread, filled when it has been started.
extern PROCESS_INFORMATION installerProcess;
