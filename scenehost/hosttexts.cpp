#include "hosttexts.h"

#include <vector>

namespace {

std::string LocaleText(LCTYPE what, const char* fallback)
{
    char text[16] = "";
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, what, text, sizeof text) > 0 ? text : fallback;
}

// "3;0" is 3, "3;2;0" is 32, "3" is 30: the form NUMBERFMT takes.
UINT GroupingOf(const std::string& pattern)
{
    UINT grouping = 0;
    bool repeats = true;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] < '0' || pattern[i] > '9') continue;
        if (pattern[i] == '0' && i + 1 == pattern.size()) {
            repeats = false;
            break;
        }
        grouping = grouping * 10 + static_cast<UINT>(pattern[i] - '0');
    }
    return repeats ? grouping * 10 : grouping;
}

}  // namespace

std::string HostText(UINT id)
{
    const wchar_t* text = nullptr;
    // With no buffer the string is lent read-only, whatever its length.
    const int length = LoadStringW(GetModuleHandleA(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0], size, nullptr, nullptr);
    return narrow;
}

std::string FormatMessageText(const std::string& text, std::initializer_list<std::string> values)
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

std::string HostMessage(UINT id, std::initializer_list<std::string> values)
{
    return FormatMessageText(HostText(id), values);
}

std::wstring WideText(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    std::wstring wide(size > 0 ? size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

std::string GroupedNumber(long long n)
{
    const std::string digits = std::to_string(n);
    std::string thousand = LocaleText(LOCALE_STHOUSAND, ",");
    std::string decimal = LocaleText(LOCALE_SDECIMAL, ".");
    NUMBERFMTA format = {};
    format.NumDigits = 0;
    format.LeadingZero = 1;  // else zero itself comes out empty
    format.Grouping = GroupingOf(LocaleText(LOCALE_SGROUPING, "3;0"));
    format.lpDecimalSep = &decimal[0];
    format.lpThousandSep = &thousand[0];
    format.NegativeOrder = 1;
    char grouped[64] = "";
    if (GetNumberFormatA(LOCALE_USER_DEFAULT, 0, digits.c_str(), &format, grouped, sizeof grouped) <= 0)
        return digits;
    return grouped;
}

std::string CountMessage(long long n, UINT one, UINT many)
{
    return n == 1 ? HostText(one) : HostMessage(many, {GroupedNumber(n)});
}
