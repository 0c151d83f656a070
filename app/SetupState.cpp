#include "app/SetupState.h"

HINSTANCE appInstance = nullptr;
char windowTitle[kTextBufferSize] = "";
char windowClassName[kTextBufferSize] = "";
HFONT textFont = nullptr;
bool errorShown = false;
std::string extractionFolder;
HANDLE workerThread = nullptr;
std::atomic<bool> stopRequested(false);
std::atomic<double> progressFraction(0.0);
PROCESS_INFORMATION installerProcess = {};
