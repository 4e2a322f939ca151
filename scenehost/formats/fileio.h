// Whole-file reading and safe writing, shared by every scene file format.
#pragma once

#include <string>

#include "sceneformat.h"

bool ReadWholeFile(const char* path, std::string& bytes, SceneFileError& error);
// Writes bytes through a temporary file beside path, so that a failure never leaves the old
// file half overwritten.
bool WriteFileSafely(const char* path, const std::string& bytes, SceneFileError& error);
