// The texts of the node list's rows: a node's name indented by its depth, and its user
// properties on one line with the lines the filter matched marked. Plain C++.
#pragma once

#include <string>

#include "scene.h"

// Indented by depth, up to depth 64.
std::string NodeRowName(const SceneNode* node);
// The text of a properties cell: all lines on one line, the matching ones marked.
std::string PropertiesCellText(const char* text, const int* matchedLineStarts, int matchCount);
// The same text one line under the other, for a tooltip.
std::string PropertiesTipText(const char* text);
