// Loading a plug-in module and asking its exports, the way the host does at start-up.
#include "plugins.h"

namespace {

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

bool Fail(HMODULE module, CStr& error, const CStr& message)
{
    if (module) FreeLibrary(module);
    error = message;
    return false;
}

}  // namespace

bool LoadPluginModule(const char* path, PluginModule& plugin, CStr& error)
{
    CStr message;
    HMODULE module = LoadLibraryA(path);
    if (!module) {
        message.printf("%s: cannot be loaded (system error %lu)", path, GetLastError());
        return Fail(nullptr, error, message);
    }
    Exports exports;
    if (const char* missing = MissingExport(module, exports)) {
        message.printf("%s: not a plug-in module (it does not export %s)", path, missing);
        return Fail(module, error, message);
    }
    const unsigned long version = exports.version();
    if (version != kPluginApiVersion) {
        message.printf("%s: made for host version 0x%08lX, this host is 0x%08X", path, version,
                       kPluginApiVersion);
        return Fail(module, error, message);
    }
    ClassDescriptor* descriptor = exports.numberClasses() > 0 ? exports.classDesc(0) : nullptr;
    if (!descriptor) {
        message.printf("%s: offers no class", path);
        return Fail(module, error, message);
    }
    plugin.module = module;
    plugin.path = path;
    plugin.description = exports.description();
    plugin.version = version;
    plugin.descriptor = descriptor;
    return true;
}
