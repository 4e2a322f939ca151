// The scene text format (*.scene): nodes in hierarchy order, each with its depth, quoted
// name, optional hidden flag and quoted user-property text.
//
//   scene 1
//   node 1 "Base"
//   props "LOD=1\r\nlodBias=2"
//   node 2 "Arm" hidden
//
// Quoted texts take the escapes \\ \" \r \n \t and \xHH, so any 8-bit text survives.
#pragma once

#include <climits>
#include <cstddef>
#include <string>

#include "sceneformat.h"

const SceneFormat& SceneTextFormat();

// The longest name or text a node holds: a string's length is an int.
constexpr size_t kLongestNodeText = INT_MAX - 1;

// Replaces the scene's nodes with the text's; on failure the scene is left untouched (or,
// should memory run out while it is built, empty). A name or text longer than longestText
// is refused with its line.
bool ParseSceneText(const std::string& text, Scene& scene, SceneFileError& error,
                    size_t longestText = kLongestNodeText);
std::string FormatSceneText(const Scene& scene);
