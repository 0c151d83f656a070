// The extraction folder: prepared on the main thread before the worker
// starts, removed at the end. Only a folder that this run prepared is ever
// removed.
#pragma once

#include <string>

// Makes folder (ending in a backslash) a real folder that this run holds
// (see COwnFolder): a link or a file of its name removed, never followed.
// When the launcher runs elevated, the folder is closed to lower integrity
// first; then the files left in it by earlier runs are deleted, and
// extractionFolder is set. Raises "FileError" "Unable to create directory
// FOLDER" when any step fails; nothing is held and extractionFolder stays
// unset then.
void PrepareExtractionFolder(const std::string& folder);

// Deletes the files directly in the prepared folder, then the folder, if the
// path still names it; if it has become a link meanwhile, only the link is
// removed. Whatever cannot be deleted stays; nothing is reported. Does
// nothing when no folder was prepared.
void RemoveExtractionFolder();
