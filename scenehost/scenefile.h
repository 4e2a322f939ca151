// The scene file: a text file of nodes in hierarchy order, each with its depth, quoted name,
// optional hidden flag and quoted user-property text. Plain C++: no window code.
//
//   scene 1
//   node 1 "Base"
//   props "LOD=1\r\nlodBias=2"
//   node 2 "Arm" hidden
//
// Quoted texts take the escapes \\ \" \r \n \t and \xHH, so any 8-bit text survives.
#pragma once

#include <string>

#include "scene.h"

struct SceneFileError {
    int line = 0;          // 0 when the file could not be read at all
    std::string message;   // what is wrong, without the file name
};

// Replaces the scene's nodes with the file's. On failure the scene is left untouched.
bool LoadSceneFile(const char* path, Scene& scene, SceneFileError& error);
bool ParseSceneText(const std::string& text, Scene& scene, SceneFileError& error);

// Writes the scene; false with error.message set when the file cannot be written.
bool SaveSceneFile(const char* path, const Scene& scene, SceneFileError& error);
std::string FormatSceneText(const Scene& scene);

// "file:line: message", the one line the application shows for a bad file.
std::string DescribeError(const char* path, const SceneFileError& error);
