#include "tab.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static_assert(sizeof(TabHdr) == 16, "elements start 16 bytes after the header");

namespace {

// Plain statics: constant-initialised and never destroyed, so a report from a global
// destructor at exit is still safe. Arrays are used from one thread at a time.
std::atomic<int> assertCount{0};
std::atomic<int> assertLine{0};
char assertFile[260];

int CountOf(const TabHdr* tab) { return tab ? tab->count : 0; }

char* ElementAt(TabHdr* tab, int index, int elementSize)
{
    return static_cast<char*>(TBElements(tab)) + static_cast<size_t>(index) * elementSize;
}

// Bytes for the header and capacity elements, or 0 when that does not fit a size_t.
size_t StorageBytes(int64_t capacity, int elementSize)
{
    uint64_t bytes = static_cast<uint64_t>(capacity) * static_cast<uint64_t>(elementSize);
    if (bytes / static_cast<uint64_t>(elementSize) != static_cast<uint64_t>(capacity)) return 0;
    if (bytes > SIZE_MAX - sizeof(TabHdr)) return 0;
    return static_cast<size_t>(bytes) + sizeof(TabHdr);
}

bool Reallocate(TabHdr** tab, int64_t capacity, int elementSize)
{
    size_t bytes = StorageBytes(capacity, elementSize);
    auto* grown = bytes ? static_cast<TabHdr*>(realloc(*tab, bytes)) : nullptr;
    if (!grown) return false;
    if (!*tab) grown->count = 0;
    grown->capacity = static_cast<int>(capacity);
    *tab = grown;
    return true;
}

// Makes room for at least needed elements, adding spare ones beyond that when they fit:
// the spare ones are only a hint. The array is untouched when memory runs out.
bool Grow(TabHdr** tab, int64_t needed, int64_t spare, int elementSize)
{
    if (needed > INT32_MAX) return false;
    if (*tab && (*tab)->capacity >= needed) return true;
    if (spare > 0 && needed + spare <= INT32_MAX && Reallocate(tab, needed + spare, elementSize))
        return true;
    return Reallocate(tab, needed, elementSize);
}

}  // namespace

int TBInsertAt(TabHdr** tab, int at, int count, const void* elements, int elementSize,
               int reserve)
{
    if (!tab || count < 0 || elementSize <= 0) return -1;
    int oldCount = CountOf(*tab);
    if (at < 0 || at > oldCount) {
        assert1(kTabAssertLine, kTabAssertFile);
        return -1;
    }
    if (count == 0) return at;
    int64_t needed = static_cast<int64_t>(oldCount) + count;
    if (!Grow(tab, needed, reserve > 0 ? reserve : 0, elementSize)) return -1;
    char* slot = ElementAt(*tab, at, elementSize);
    size_t insertedBytes = static_cast<size_t>(count) * elementSize;
    memmove(slot + insertedBytes, slot, static_cast<size_t>(oldCount - at) * elementSize);
    if (elements)
        memcpy(slot, elements, insertedBytes);
    else
        memset(slot, 0, insertedBytes);
    (*tab)->count = static_cast<int>(needed);
    return at;
}

int TBDelete(TabHdr** tab, int at, int count, int elementSize)
{
    if (!tab || elementSize <= 0) return -1;
    int oldCount = CountOf(*tab);
    if (at < 0 || count < 0 || at > oldCount || count > oldCount - at) {
        assert1(kTabAssertLine, kTabAssertFile);
        return oldCount;
    }
    if (count == 0) return oldCount;
    char* first = ElementAt(*tab, at, elementSize);
    char* rest = ElementAt(*tab, at + count, elementSize);
    memmove(first, rest, static_cast<size_t>(oldCount - at - count) * elementSize);
    (*tab)->count = oldCount - count;
    return (*tab)->count;
}

int TBSetCount(TabHdr** tab, int count, int elementSize)
{
    if (!tab || count < 0 || elementSize <= 0) return -1;
    int oldCount = CountOf(*tab);
    if (count == oldCount) return count;
    if (!Grow(tab, count, 0, elementSize)) return -1;
    if (count > oldCount)
        memset(ElementAt(*tab, oldCount, elementSize), 0,
               static_cast<size_t>(count - oldCount) * elementSize);
    (*tab)->count = count;
    return count;
}

void zfree(void** pointer)
{
    if (!pointer) return;
    free(*pointer);
    *pointer = nullptr;
}

void assert1(int line, const char* file)
{
    snprintf(assertFile, sizeof assertFile, "%s", file ? file : "");
    assertLine = line;
    ++assertCount;
    fprintf(stderr, "assert1: %s(%d): array index out of range\n", assertFile, line);
}

int AssertReportCount() { return assertCount; }

int LastAssertLine() { return assertLine; }

const char* LastAssertFile() { return assertFile; }
