// What a plug-in module hands the host: its exports, class descriptor and utility object.
#pragma once

#include <windows.h>

#include "cstr.h"
#include "interface.h"

constexpr unsigned int kPluginApiVersion = 0x0C1C0700;
constexpr int kUtilityKindCode = 0x1020;

struct ClassKey {
    unsigned int first;
    unsigned int second;
};

inline bool operator==(const ClassKey& a, const ClassKey& b)
{
    return a.first == b.first && a.second == b.second;
}

// A class a module offers. Thirty-six virtual operations in a fixed order; the six without a
// body are what every descriptor supplies, the others are the host's defaults.
class ClassDescriptor {
public:
    virtual ~ClassDescriptor() = default;
    virtual int PublicFlag() = 0;
    virtual void* CreateInstance(int loading) = 0;
    virtual int HiddenFromLists(int /*context*/) { return 0; }
    virtual int CreationFlags(int /*context*/) { return 0; }
    virtual const char* DisplayName() = 0;
    virtual int KindCode() = 0;
    virtual ClassKey GetClassKey() = 0;
    virtual const char* CategoryName() = 0;
    // Host defaults from here on; none reads its arguments.
    virtual const char* InternalName() { return nullptr; }
    virtual HINSTANCE ResourceInstance() { return nullptr; }
    virtual int Revision() { return 1; }
    virtual int MaxInstances() { return 0x7FFFFFFF; }
    virtual bool WantsStartupCall() { return false; }
    virtual void HostStarted() {}
    virtual void HostClosing() {}
    virtual int IconIndex() { return 0; }
    virtual const char* TooltipText() { return nullptr; }
    virtual int SortOrder() { return 0x7FFFFFFF; }
    virtual bool CanDuplicate() { return false; }
    virtual int SettingsCount() { return 0; }
    virtual void* Settings(int /*index*/) { return nullptr; }
    virtual int CommandCount() { return 0; }
    virtual void* Command(int /*index*/) { return nullptr; }
    virtual int ShortcutCount() { return 0; }
    virtual void* Shortcut(int /*index*/) { return nullptr; }
    virtual bool IsManipulator() { return false; }
    virtual void ResetDefaults() {}
    virtual int SaveVersion() { return 1; }
    virtual int LoadVersion(int /*saved*/) { return 1; }
    virtual void* ExtraInterface(int /*id*/) { return nullptr; }
    virtual bool UsesCustomUI() { return false; }
    virtual int HelpTopic() { return 0; }
    virtual void DescribeTo(CStr& /*text*/) {}
    virtual int ReservedSlot35() { return 0; }
    virtual int ReservedSlot36() { return 0; }
};

// The object a utility class hands out. Static in its module: the host never deletes it.
class UtilityObject {
public:
    virtual void Activate(Interface* ip, UtilityPanel* panel) = 0;
    virtual void Deactivate(Interface* ip, UtilityPanel* panel) = 0;
    virtual void SelectionChanged(Interface* ip, UtilityPanel* panel) = 0;
    virtual void Release() = 0;
    virtual void StartupParameter(CStr parameter) = 0;

protected:
    ~UtilityObject() = default;
};

// What a class may offer beyond the slots above, handed out by ExtraInterface(id).
constexpr int kSceneWindowsInterface = 0x53570001;

// A module's windows kept from one scene to the next while a batch runs scene after scene.
class SceneWindows {
public:
    // The module's open windows leave the screen as when closed, each set back to what a
    // newly made one shows, and come back on their next opening.
    virtual void PutAway() = 0;

protected:
    ~SceneWindows() = default;
};

extern "C" {
typedef const char* (*LibDescriptionProc)();
typedef int (*LibNumberClassesProc)();
typedef ClassDescriptor* (*LibClassDescProc)(int index);
typedef unsigned long (*LibVersionProc)();
}
