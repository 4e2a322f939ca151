// Loading a plug-in module and asking its exports, the way the host does at start-up.
#include "plugins.h"

#include <cstdio>
#include <string>

#include "coretexts.h"
#include "guard.h"
#include "handles.h"
#include "moduletexts.h"

namespace {

std::string FullPathOf(const char* path)
{
    const DWORD size = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (size == 0) return std::string();
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path, size, &full[0], nullptr);
    full.resize(length < size ? length : 0);
    return full;
}

struct Exports {
    LibDescriptionProc description;
    LibNumberClassesProc numberClasses;
    LibClassDescProc classDesc;
    LibVersionProc version;
};

template <class Proc>
Proc Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const char* MissingExport(HMODULE module, Exports& exports)
{
    exports.description = Export<LibDescriptionProc>(module, "LibDescription");
    exports.numberClasses = Export<LibNumberClassesProc>(module, "LibNumberClasses");
    exports.classDesc = Export<LibClassDescProc>(module, "LibClassDesc");
    exports.version = Export<LibVersionProc>(module, "LibVersion");
    if (!exports.description) return "LibDescription";
    if (!exports.numberClasses) return "LibNumberClasses";
    if (!exports.classDesc) return "LibClassDesc";
    if (!exports.version) return "LibVersion";
    return nullptr;
}

// The message of string id with values filled in, in error; false.
bool Fail(CStr& error, UINT id, std::initializer_list<std::string> values)
{
    HMODULE core = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&Fail), &core);
    error = FormatMessageText(ModuleText(core, id), values).c_str();
    return false;
}

std::string Hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

bool Load(const char* path, PluginModule& plugin, CStr& error)
{
    // By its full path, with what it imports from its own folder and the system's: a DLL
    // that happens to lie in the current folder is never picked up. A module that turns out
    // not to be a plug-in is unloaded again.
    const std::string full = FullPathOf(path);
    ModuleHandle module(full.empty() ? nullptr
                                     : LoadLibraryExA(full.c_str(), nullptr,
                                                      LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
                                                          LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
    if (!module) {
        const DWORD failure = GetLastError();
        return Fail(error, IDS_PLUGIN_CANNOT_LOAD, {path, std::to_string(failure)});
    }
    Exports exports;
    if (const char* missing = MissingExport(module.Get(), exports))
        return Fail(error, IDS_PLUGIN_MISSING_EXPORT, {path, missing});
    const unsigned long version = exports.version();
    if (version != kPluginApiVersion)
        return Fail(error, IDS_PLUGIN_OTHER_VERSION, {path, Hex(version), Hex(kPluginApiVersion)});
    ClassDescriptor* descriptor = exports.numberClasses() > 0 ? exports.classDesc(0) : nullptr;
    if (!descriptor) return Fail(error, IDS_PLUGIN_NO_CLASS, {path});
    plugin.module = module.Release();
    plugin.path = full.c_str();
    plugin.description = exports.description();
    plugin.version = version;
    plugin.descriptor = descriptor;
    return true;
}

}  // namespace

bool LoadPluginModule(const char* path, PluginModule& plugin, CStr& error)
{
    return Guarded(false, [&] { return Load(path, plugin, error); });
}
