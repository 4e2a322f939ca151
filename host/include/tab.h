// TabHdr: the host's growable array of plain values. The header holds the count and the
// capacity, followed by the elements. An array without storage counts 0 elements.
#pragma once

#include <cstring>
#include <type_traits>

#include "hostapi.h"

struct alignas(16) TabHdr {
    int count;
    int capacity;
};

// Index errors go to assert1 with this line and file, the host header's own place.
constexpr int kTabAssertLine = 114;
constexpr const char* kTabAssertFile = "..\\..\\..\\include\\tab";

// Inserts count elements at index at (0..count), growing by reserve spare elements when the
// storage is full. Returns the index of the first inserted element, or -1 when the index is
// out of range (reported through assert1) or memory runs out; the array is then unchanged.
HOSTUTIL_API int TBInsertAt(TabHdr** tab, int at, int count, const void* elements,
                            int elementSize, int reserve);
// Deletes count elements from index at. Returns the new count; a range that does not lie
// inside the array is reported through assert1 and deletes nothing.
HOSTUTIL_API int TBDelete(TabHdr** tab, int at, int count, int elementSize);
// Sets the count, growing the storage when needed; new elements are zeroed. Returns the new
// count, or -1 (array unchanged) for a negative count or when memory runs out.
HOSTUTIL_API int TBSetCount(TabHdr** tab, int count, int elementSize);
// Frees the storage *pointer points to and sets *pointer to null.
HOSTUTIL_API void zfree(void** pointer);

// Reports an array index out of range. The report is recorded, never aborts.
HOSTUTIL_API void assert1(int line, const char* file);
HOSTUTIL_API int AssertReportCount();
HOSTUTIL_API int LastAssertLine();
HOSTUTIL_API const char* LastAssertFile();

inline void* TBElements(TabHdr* tab) { return reinterpret_cast<char*>(tab) + sizeof(TabHdr); }

// Typed view of a TabHdr array; elements are copied bytewise and never destroyed.
template <class T>
class Tab {
    static_assert(std::is_trivially_copyable<T>::value, "Tab holds plain values only");

public:
    Tab() = default;
    ~Tab() { Free(); }
    Tab(const Tab&) = delete;
    Tab& operator=(const Tab&) = delete;

    int Count() const { return header_ ? header_->count : 0; }
    bool HasStorage() const { return header_ != nullptr; }

    // Element i, or T() after reporting a bad index.
    T operator[](int i) const
    {
        const T* element = Address(i);
        return element ? *element : T();
    }
    void Set(int i, const T& value)
    {
        if (T* element = Address(i)) *element = value;
    }

    int Append(const T& value, int reserve = 10)
    {
        return TBInsertAt(&header_, Count(), 1, &value, static_cast<int>(sizeof(T)), reserve);
    }
    int Insert(int at, const T& value, int reserve = 10)
    {
        return TBInsertAt(&header_, at, 1, &value, static_cast<int>(sizeof(T)), reserve);
    }
    int Delete(int at, int count) { return TBDelete(&header_, at, count, static_cast<int>(sizeof(T))); }
    int SetCount(int count) { return TBSetCount(&header_, count, static_cast<int>(sizeof(T))); }
    void Free() { zfree(reinterpret_cast<void**>(&header_)); }
    // Makes the tab a copy of other; -1, with the tab emptied, when memory runs out.
    int CopyFrom(const Tab& other)
    {
        if (SetCount(other.Count()) < 0) {
            SetCount(0);
            return -1;
        }
        if (other.Count() > 0)
            std::memcpy(Elements(), other.Elements(), sizeof(T) * static_cast<size_t>(other.Count()));
        return Count();
    }

    // Index of the first element equal to value, or -1.
    int Find(const T& value) const
    {
        for (int i = 0; i < Count(); ++i)
            if (Elements()[i] == value) return i;
        return -1;
    }

    TabHdr** Header() { return &header_; }

private:
    T* Elements() const { return static_cast<T*>(TBElements(header_)); }
    T* Address(int i) const
    {
        if (i < 0 || i >= Count()) {
            assert1(kTabAssertLine, kTabAssertFile);
            return nullptr;
        }
        return Elements() + i;
    }

    TabHdr* header_ = nullptr;
};

class SceneNode;
using NodeTab = Tab<SceneNode*>;
