#include "textcodec.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

class Utf8Codec : public TextCodec {
public:
    std::string FromUtf8(const std::string& utf8, bool& lost) const override
    {
        lost = false;
        return utf8;
    }
    bool ToUtf8(const std::string& text, std::string& utf8) const override
    {
        utf8 = text;
        return true;
    }
};

#if defined(_WIN32)
bool ToWide(unsigned codePage, DWORD flags, const std::string& text, std::wstring& wide)
{
    wide.clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(length);
    return MultiByteToWideChar(codePage, flags, text.data(), size, &wide[0], length) == length;
}

std::string FromWide(unsigned codePage, DWORD flags, const std::wstring& wide, BOOL* lost)
{
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    const char* substitute = lost ? "?" : nullptr;
    const int length =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, substitute, lost);
    std::string text(length > 0 ? length : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(codePage, flags, wide.data(), size, &text[0], length, substitute, lost);
    return text;
}

class CodePageCodec : public TextCodec {
public:
    explicit CodePageCodec(unsigned codePage) : codePage_(codePage) {}
    std::string FromUtf8(const std::string& utf8, bool& lost) const override
    {
        std::wstring wide;
        ToWide(CP_UTF8, 0, utf8, wide);
        // No best fit: an é shown as e would be written back as e.
        BOOL usedSubstitute = FALSE;
        std::string text = FromWide(codePage_, WC_NO_BEST_FIT_CHARS, wide, &usedSubstitute);
        lost = usedSubstitute != FALSE;
        return text;
    }
    bool ToUtf8(const std::string& text, std::string& utf8) const override
    {
        std::wstring wide;
        if (!ToWide(codePage_, MB_ERR_INVALID_CHARS, text, wide)) return false;
        utf8 = FromWide(CP_UTF8, 0, wide, nullptr);
        return true;
    }

private:
    unsigned codePage_;
};
#endif

}  // namespace

const TextCodec& Utf8TextCodec()
{
    static const Utf8Codec codec;
    return codec;
}

#if defined(_WIN32)
std::unique_ptr<TextCodec> MakeCodePageTextCodec(unsigned codePage)
{
    return std::make_unique<CodePageCodec>(codePage);
}

const TextCodec& SystemTextCodec()
{
    if (GetACP() == CP_UTF8) return Utf8TextCodec();
    static const CodePageCodec codec(GetACP());
    return codec;
}
#else
const TextCodec& SystemTextCodec() { return Utf8TextCodec(); }
#endif
