// The texts of a module's string table, and messages made from them: every host module
// keeps its user-visible texts there and fills in values the same way.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

// String id of module's string table in the program's code page; empty when there is none.
inline std::string ModuleText(HMODULE module, UINT id)
{
    const wchar_t* text = nullptr;
    // With no buffer the string is lent read-only, whatever its length.
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0], size, nullptr, nullptr);
    return narrow;
}

// text with %1, %2, ... replaced by values, in whatever order it names them; %% stands for a
// percent sign.
inline std::string FormatMessageText(const std::string& text,
                                     std::initializer_list<std::string> values)
{
    const std::vector<std::string> given(values);
    std::string message;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 == text.size()) {
            message += text[i];
            continue;
        }
        const char next = text[++i];
        if (next >= '1' && next <= '9' && static_cast<size_t>(next - '1') < given.size())
            message += given[static_cast<size_t>(next - '1')];
        else if (next == '%')
            message += '%';
        else
            message += std::string("%") + next;
    }
    return message;
}
