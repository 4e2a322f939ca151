// CStr: the host's 8-bit string. All of its storage is allocated and freed inside hostutil,
// so strings may be created in one module and destroyed in another.
#pragma once

#include "hostapi.h"

class HOSTUTIL_API CStr {
public:
    CStr();
    CStr(const char* text);  // null is taken as ""
    CStr(const CStr& other);
    CStr(CStr&& other) noexcept;
    ~CStr();

    CStr& operator=(const CStr& other);
    CStr& operator=(CStr&& other) noexcept;
    CStr& operator=(const char* text);
    CStr& operator+=(const CStr& other);
    CStr& operator+=(const char* text);

    // Exact comparison, case included.
    bool operator==(const CStr& other) const;
    bool operator==(const char* text) const;
    bool operator!=(const CStr& other) const { return !(*this == other); }
    bool operator!=(const char* text) const { return !(*this == text); }

    // Never null: an empty string gives "".
    operator const char*() const { return data(); }
    const char* data() const;
    char* data();

    // Characters before the terminating zero, so text written into data() counts at once.
    int Length() const;

    // Replaces the text with length characters of text, which may lie inside this string.
    // Returns false, leaving the string as it was, when memory runs out.
    bool Assign(const char* text, int length);

    // Up to count characters from start; whatever lies in range when the string is shorter.
    CStr Substr(int start, int count) const;

    // Lower-cases A to Z in place; other bytes are left as they are, whatever the code page.
    CStr& toLower();

    // Makes data() a writable buffer of at least n characters plus the terminating zero,
    // keeping the first n characters. Returns false, leaving the string as it was, when
    // memory runs out.
    bool Resize(int n);

    // Formats into the string, sized exactly for the result. Returns the new length, or -1
    // (string emptied) on a bad format or when memory runs out.
    int printf(const char* format, ...) HOST_PRINTF_FORMAT(2, 3);

private:
    bool Reserve(int characters);

    char* buffer_;   // owned; null while the string never held text
    int capacity_;   // characters the buffer holds besides the terminating zero
};
