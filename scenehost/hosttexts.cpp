#include "hosttexts.h"

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

std::string HostText(UINT id) { return ModuleText(GetModuleHandleA(nullptr), id); }

std::string HostMessage(UINT id, std::initializer_list<std::string> values)
{
    return FormatMessageText(HostText(id), values);
}

HWND HiddenLabel(HWND parent, UINT id)
{
    return CreateWindowExA(0, "STATIC", HostText(id).c_str(), WS_CHILD | SS_LEFT, 0, 0, 0, 0,
                           parent, nullptr, GetModuleHandleA(nullptr), nullptr);
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
