#include "app/ExtractionFolder.h"

#include "app/FolderSecurity.h"
#include "app/SetupState.h"
#include "base/OwnFolderWin32.h"

namespace {

// The folder prepared by this run, held from its preparation to its removal.
COwnFolder ownFolder;

}  // namespace

void PrepareExtractionFolder(const std::string& folder)
{
    const bool elevated = RunsElevated();
    try {
        ownFolder.Take(folder, elevated ? kLabelAccess : 0);
        // Closed before it is emptied, so that nothing can come in afterwards.
        if (elevated)
            CloseToLowerIntegrity(ownFolder.Handle(), folder.substr(0, folder.size() - 1));
        ownFolder.RemoveLeftovers();
    } catch (...) {
        // Not prepared: the cleanup after the error must leave it alone.
        ownFolder.Release();
        throw;
    }
    extractionFolder = folder;
}

void RemoveExtractionFolder()
{
    ownFolder.Remove();
}
