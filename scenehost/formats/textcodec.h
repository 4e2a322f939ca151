// Conversion between UTF-8, the encoding of glTF's strings, and the host's 8-bit texts in the
// process's code page.
#pragma once

#include <memory>
#include <string>

class TextCodec {
public:
    virtual ~TextCodec() = default;
    // utf8 must be valid UTF-8. A character the code page lacks becomes '?' and sets lost.
    virtual std::string FromUtf8(const std::string& utf8, bool& lost) const = 0;
    // False when text holds bytes that are no text in the code page.
    virtual bool ToUtf8(const std::string& text, std::string& utf8) const = 0;
};

// For a process whose code page is UTF-8: nothing to convert.
const TextCodec& Utf8TextCodec();
// The process's code page: UTF-8 where the system honours the application manifest.
const TextCodec& SystemTextCodec();

#if defined(_WIN32)
// A legacy Windows code page (1252, 932, ...).
std::unique_ptr<TextCodec> MakeCodePageTextCodec(unsigned codePage);
#endif
