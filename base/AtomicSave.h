#pragma once
// Replacing a file as a whole or not at all, so that a failed save (a full disk, a crash, a pulled
// USB stick) never leaves a half-written settings file or recording behind.
#include <functional>
#include <string>

// Writes a file through a temporary name in the target's folder and renames it over the target
// once everything is written and synced; then the folder is synced so the rename survives a power
// cut. The temporary name does not grow with the target's name, so any name that fits the folder
// can be saved. An existing target keeps its permissions; a symbolic link is followed, so the link
// stays in place and the file it points at is replaced. write receives the temporary path (an
// empty file that already exists) and returns whether it wrote everything; on any failure the
// temporary file is removed, the target is untouched and errorText (when given) says why.
bool AtomicSave(const std::string& path, const std::function<bool(const std::string& tempPath)>& write,
                std::string* errorText = nullptr);

// Temporary files of saves that were killed before they could clean up (ours by name, older than
// an hour) are removed from the folder before the next save into it.

// Whether a save to path can work: its folder exists and takes new files, and path is not a folder.
// False with the path and the system's reason in errorText.
bool CheckSaveTarget(const std::string& path, std::string* errorText = nullptr);

// AtomicSave of a whole text.
bool AtomicSaveText(const std::string& path, const std::string& text, std::string* errorText = nullptr);
