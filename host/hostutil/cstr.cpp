#include "cstr.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "textlines.h"

namespace {

// Written to only when the one-byte allocation of a never-used string fails, and then only
// its terminating zero, so sharing it stays harmless.
char emptyScratch[1];

int CheckedLength(const char* text)
{
    if (!text) return 0;
    size_t length = strlen(text);
    return length > static_cast<size_t>(INT_MAX - 1) ? -1 : static_cast<int>(length);
}

// A fresh buffer for characters plus the terminating zero, or null.
char* AllocateText(int characters)
{
    if (characters < 0 || characters == INT_MAX) return nullptr;
    return static_cast<char*>(malloc(static_cast<size_t>(characters) + 1));
}

// Doubles when appending, so that building a string piece by piece stays linear.
int GrownCapacity(int capacity, int wanted)
{
    int doubled = capacity < INT_MAX / 2 - 1 ? capacity * 2 : INT_MAX - 1;
    return wanted > doubled ? wanted : doubled;
}

// head then tail in a fresh buffer of capacity characters, or null.
char* Joined(const char* head, int headLength, const char* tail, int tailLength, int capacity)
{
    char* joined = AllocateText(capacity);
    if (!joined) return nullptr;
    if (headLength > 0) memcpy(joined, head, static_cast<size_t>(headLength));
    memcpy(joined + headLength, tail, static_cast<size_t>(tailLength));
    joined[headLength + tailLength] = 0;
    return joined;
}

}  // namespace

CStr::CStr() : buffer_(nullptr), capacity_(0) {}

CStr::CStr(const char* text) : CStr() { *this = text; }

CStr::CStr(const CStr& other) : CStr() { *this = other; }

CStr::CStr(CStr&& other) noexcept : buffer_(other.buffer_), capacity_(other.capacity_)
{
    other.buffer_ = nullptr;
    other.capacity_ = 0;
}

CStr::~CStr() { free(buffer_); }

CStr& CStr::operator=(const CStr& other)
{
    if (this != &other) Assign(other.data(), other.Length());
    return *this;
}

CStr& CStr::operator=(CStr&& other) noexcept
{
    if (this == &other) return *this;
    free(buffer_);
    buffer_ = other.buffer_;
    capacity_ = other.capacity_;
    other.buffer_ = nullptr;
    other.capacity_ = 0;
    return *this;
}

CStr& CStr::operator=(const char* text)
{
    int length = CheckedLength(text);
    if (length >= 0) Assign(text ? text : "", length);
    return *this;
}

CStr& CStr::operator+=(const CStr& other) { return *this += other.data(); }

CStr& CStr::operator+=(const char* text)
{
    int added = CheckedLength(text);
    int length = Length();
    if (added <= 0 || added > INT_MAX - 1 - length) return *this;
    int wanted = length + added;
    if (buffer_ && wanted <= capacity_) {
        memmove(buffer_ + length, text, static_cast<size_t>(added));
        buffer_[wanted] = 0;
        return *this;
    }
    // A new buffer, since text may lie inside the old one (s += s).
    int capacity = GrownCapacity(capacity_, wanted);
    char* joined = Joined(buffer_, length, text, added, capacity);
    if (!joined) return *this;
    free(buffer_);
    buffer_ = joined;
    capacity_ = capacity;
    return *this;
}

bool CStr::operator==(const CStr& other) const { return strcmp(data(), other.data()) == 0; }

bool CStr::operator==(const char* text) const { return strcmp(data(), text ? text : "") == 0; }

const char* CStr::data() const { return buffer_ ? buffer_ : ""; }

char* CStr::data()
{
    if (buffer_ || Reserve(0)) return buffer_;
    emptyScratch[0] = 0;
    return emptyScratch;
}

int CStr::Length() const { return static_cast<int>(strlen(data())); }

CStr CStr::Substr(int start, int count) const
{
    CStr part;
    int length = Length();
    if (start < 0) start = 0;
    if (count <= 0 || start >= length) return part;
    if (count > length - start) count = length - start;
    part.Assign(data() + start, count);
    return part;
}

CStr& CStr::toLower()
{
    if (buffer_) LowerAsciiInPlace(buffer_, buffer_ + Length());
    return *this;
}

bool CStr::Resize(int n)
{
    if (n < 0) return false;
    int length = Length();
    if (!Reserve(n)) return false;
    // Zeroing the gap keeps shorter content and its length as they were.
    if (length < n)
        memset(buffer_ + length, 0, static_cast<size_t>(n - length) + 1);
    else
        buffer_[n] = 0;
    return true;
}

int CStr::printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measureArgs;
    va_copy(measureArgs, args);
    int length = format ? vsnprintf(nullptr, 0, format, measureArgs) : -1;
    va_end(measureArgs);
    // Format into a fresh buffer: the arguments may point into our own text.
    char* text = length >= 0 ? AllocateText(length) : nullptr;
    if (text && vsnprintf(text, static_cast<size_t>(length) + 1, format, args) != length) {
        free(text);
        text = nullptr;
    }
    va_end(args);
    if (!text) {
        if (buffer_) buffer_[0] = 0;
        return -1;
    }
    free(buffer_);
    buffer_ = text;
    capacity_ = length;
    return length;
}

bool CStr::Reserve(int characters)
{
    if (characters < 0 || characters == INT_MAX) return false;
    if (buffer_ && characters <= capacity_) return true;
    char* grown = static_cast<char*>(realloc(buffer_, static_cast<size_t>(characters) + 1));
    if (!grown) return false;
    if (!buffer_) grown[0] = 0;
    buffer_ = grown;
    capacity_ = characters;
    return true;
}

bool CStr::Assign(const char* text, int length)
{
    if (length < 0 || (length > 0 && !text)) return false;
    if (!buffer_ && length == 0) return true;
    if (buffer_ && length <= capacity_) {
        if (length > 0) memmove(buffer_, text, static_cast<size_t>(length));
        buffer_[length] = 0;
        return true;
    }
    // A new buffer, since text may lie inside the old one.
    char* copy = AllocateText(length);
    if (!copy) return false;
    if (length > 0) memcpy(copy, text, static_cast<size_t>(length));
    copy[length] = 0;
    free(buffer_);
    buffer_ = copy;
    capacity_ = length;
    return true;
}
