// Loading a plug-in module and asking its exports, the way the host does at start-up.
#include "plugins.h"

#include <string>

#include "handles.h"

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

bool Fail(CStr& error, const CStr& message)
{
    error = message;
    return false;
}

}  // namespace

bool LoadPluginModule(const char* path, PluginModule& plugin, CStr& error)
{
    CStr message;
    // By its full path, with what it imports from its own folder and the system's: a DLL
    // that happens to lie in the current folder is never picked up. A module that turns out
    // not to be a plug-in is unloaded again.
    const std::string full = FullPathOf(path);
    ModuleHandle module(full.empty() ? nullptr
                                     : LoadLibraryExA(full.c_str(), nullptr,
                                                      LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR |
                                                          LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
    if (!module) {
        message.printf("%s: cannot be loaded (system error %lu)", path, GetLastError());
        return Fail(error, message);
    }
    Exports exports;
    if (const char* missing = MissingExport(module.Get(), exports)) {
        message.printf("%s: not a plug-in module (it does not export %s)", path, missing);
        return Fail(error, message);
    }
    const unsigned long version = exports.version();
    if (version != kPluginApiVersion) {
        message.printf("%s: made for host version 0x%08lX, this host is 0x%08X", path, version,
                       kPluginApiVersion);
        return Fail(error, message);
    }
    ClassDescriptor* descriptor = exports.numberClasses() > 0 ? exports.classDesc(0) : nullptr;
    if (!descriptor) {
        message.printf("%s: offers no class", path);
        return Fail(error, message);
    }
    plugin.module = module.Release();
    plugin.path = full.c_str();
    plugin.description = exports.description();
    plugin.version = version;
    plugin.descriptor = descriptor;
    return true;
}
