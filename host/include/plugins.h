// Loading plug-in modules the way the host does.
#pragma once

#include <windows.h>

#include "cstr.h"
#include "hostapi.h"
#include "plugin.h"

struct PluginModule {
    HMODULE module = nullptr;
    CStr path;
    CStr description;   // LibDescription
    unsigned long version = 0;
    ClassDescriptor* descriptor = nullptr;  // LibClassDesc(0), owned by the module
};

// Loads path and asks its exports. On failure returns false with error holding one line
// naming the file and what is wrong; nothing stays loaded.
CORE_API bool LoadPluginModule(const char* path, PluginModule& plugin, CStr& error);
