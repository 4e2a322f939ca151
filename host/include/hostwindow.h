// The base of the host's own windows. The object that creates a window receives its
// messages: it is stored in the window at WM_NCCREATE, every message goes to its
// HandleMessage, and after WM_NCDESTROY, or once the object is gone, the window is left to
// the default handling. Each window class is registered once, in the module whose code
// handles it, the first time a window of it is made.
#pragma once

#include <windows.h>

#include <utility>

#include "guard.h"

class HostWindow {
public:
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND Window() const { return window_; }

protected:
    struct WindowClass {
        const char* name;
        const char* menu = nullptr;  // a menu resource of the module, or none
        HICON icon = nullptr;
    };

    HostWindow() = default;
    ~HostWindow()
    {
        if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    }

    // Null when the class cannot be registered or the window not made. The object has one
    // window at a time: one it had before is left to the default handling.
    HWND CreateHostWindow(const WindowClass& windowClass, DWORD exStyle, const char* title,
                          DWORD style, int x, int y, int width, int height, HWND parent,
                          HMENU menuOrId)
    {
        if (window_) SetWindowLongPtrA(std::exchange(window_, nullptr), GWLP_USERDATA, 0);
        const HINSTANCE module = CodeModule();
        if (!RegisterOnce(module, windowClass)) return nullptr;
        return CreateWindowExA(exStyle, windowClass.name, title, style, x, y, width, height,
                               parent, menuOrId, module, this);
    }

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcA(window_, message, wParam, lParam);
    }

    HWND window_ = nullptr;  // from WM_NCCREATE until WM_NCDESTROY

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* created = static_cast<HostWindow*>(
                reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
            created->window_ = window;
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        }
        auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!self) return DefWindowProcA(window, message, wParam, lParam);
        // Every message of every host window passes here. A window whose making failed is
        // not made.
        const LRESULT failed = message == WM_CREATE ? -1 : 0;
        const LRESULT result = Guarded<LRESULT>(
            failed, [&] { return self->HandleMessage(message, wParam, lParam); });
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            if (self->window_ == window) self->window_ = nullptr;
        }
        return result;
    }

    // The module this code is compiled into: the program, or the host library that made
    // the window.
    static HINSTANCE CodeModule()
    {
        HMODULE module = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&WindowProc), &module);
        return module;
    }

    static bool RegisterOnce(HINSTANCE module, const WindowClass& windowClass)
    {
        WNDCLASSEXA known = {};
        known.cbSize = sizeof known;
        if (GetClassInfoExA(module, windowClass.name, &known)) return true;
        WNDCLASSEXA made = {};
        made.cbSize = sizeof made;
        made.lpfnWndProc = WindowProc;
        made.hInstance = module;
        made.hIcon = windowClass.icon;
        made.hCursor = LoadCursor(nullptr, IDC_ARROW);
        made.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        made.lpszMenuName = windowClass.menu;
        made.lpszClassName = windowClass.name;
        return RegisterClassExA(&made) != 0;
    }
};
