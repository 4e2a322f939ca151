// Owners of Win32 handles, so that the type says who closes what. An owner closes its handle
// once, when it goes or takes another; it can be handed on but not copied.
#pragma once

#include <windows.h>

#include <utility>

template <class Kind>
class UniqueHandle {
public:
    using Handle = typename Kind::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Kind::None(); }

    // Closes the handle now; false when there was none or closing it failed, which for a
    // file written through it can mean that the data did not reach the disk.
    bool Close()
    {
        if (!*this) return false;
        return Kind::Close(std::exchange(handle_, Kind::None()));
    }
    // Closes the handle held, if any, and takes handle instead.
    void Reset(Handle handle)
    {
        Close();
        handle_ = handle;
    }
    // Hands the handle to the caller, who closes it from now on.
    Handle Release() { return std::exchange(handle_, Kind::None()); }

private:
    Handle handle_ = Kind::None();
};

// CreateFileA.
struct FileHandleKind {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) { return CloseHandle(handle) != FALSE; }
};
using FileHandle = UniqueHandle<FileHandleKind>;

// FindFirstFileA.
struct FindHandleKind {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) { return FindClose(handle) != FALSE; }
};
using FindHandle = UniqueHandle<FindHandleKind>;

// Processes and threads, as CreateProcessA hands them out.
struct KernelHandleKind {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static bool Close(Handle handle) { return CloseHandle(handle) != FALSE; }
};
using KernelHandle = UniqueHandle<KernelHandleKind>;

// LoadLibraryA.
struct ModuleHandleKind {
    using Handle = HMODULE;
    static Handle None() { return nullptr; }
    static bool Close(Handle handle) { return FreeLibrary(handle) != FALSE; }
};
using ModuleHandle = UniqueHandle<ModuleHandleKind>;

// SetWindowsHookExA.
struct HookHandleKind {
    using Handle = HHOOK;
    static Handle None() { return nullptr; }
    static bool Close(Handle handle) { return UnhookWindowsHookEx(handle) != FALSE; }
};
using HookHandle = UniqueHandle<HookHandleKind>;

// CreateFontIndirect and the other GDI objects a window draws with.
struct GdiObjectKind {
    using Handle = HGDIOBJ;
    static Handle None() { return nullptr; }
    static bool Close(Handle handle) { return DeleteObject(handle) != FALSE; }
};
using GdiObject = UniqueHandle<GdiObjectKind>;
