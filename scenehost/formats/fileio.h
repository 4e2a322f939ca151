// Whole-file reading and safe writing, shared by every scene file format.
#pragma once

#include <string>

#include "sceneformat.h"

// A name Windows keeps for a device (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9), with any
// extension, in any folder: opening it reaches the device, which may never answer.
bool IsDeviceName(const char* path);
// False, with "is not a regular file", for a device name and for anything on disk that is
// not a plain file (a folder, a pipe, a device); true for a plain file and where nothing is.
bool CheckRegularFile(const char* path, SceneFileError& error);

// Refuses what CheckRegularFile refuses.
bool ReadWholeFile(const char* path, std::string& bytes, SceneFileError& error);
// Writes bytes to path. A new file appears only once it is whole. An existing one is
// rewritten in place, keeping its permissions, its hard links and a symbolic link to it,
// with a copy of its old text beside it until the new text is written; a read-only file is
// refused. A failure leaves the old text in the file, or names where it is kept.
bool WriteFileSafely(const char* path, const std::string& bytes, SceneFileError& error);
