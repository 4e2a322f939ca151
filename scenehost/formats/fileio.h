// Whole-file reading and safe writing, shared by every scene file format.
#pragma once

#include <string>

#include "sceneformat.h"

bool ReadWholeFile(const char* path, std::string& bytes, SceneFileError& error);
// Writes bytes to path. A new file appears only once it is whole. An existing one is
// rewritten in place, keeping its permissions, its hard links and a symbolic link to it,
// with a copy of its old text beside it until the new text is written; a read-only file is
// refused. A failure leaves the old text in the file, or names where it is kept.
bool WriteFileSafely(const char* path, const std::string& bytes, SceneFileError& error);
