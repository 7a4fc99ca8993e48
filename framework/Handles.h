#pragma once

#include <windows.h>

#include <utility>

// Owners for the Win32 handles and GDI objects the program creates. Each frees its handle on
// every path; none can be copied, all can be moved.

template <typename Traits>
class UniqueOwner {
public:
    using Handle = typename Traits::Handle;

    UniqueOwner() : handle(Traits::Invalid()) {}
    explicit UniqueOwner(Handle h) : handle(h) {}
    ~UniqueOwner() { Reset(); }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : handle(other.Release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle; }
    bool IsValid() const { return handle != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    [[nodiscard]] Handle Release() {
        Handle h = handle;
        handle = Traits::Invalid();
        return h;
    }
    void Reset(Handle h = Traits::Invalid()) {
        if (IsValid()) Traits::Close(handle);
        handle = h;
    }
    // For out-parameters of platform calls: frees what is held and hands out the slot.
    Handle* Receive() {
        Reset();
        return &handle;
    }

private:
    Handle handle;
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
// CreateFileA fails with INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteDC(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};

using UniqueHandle = UniqueOwner<KernelHandleTraits>;    // processes, threads, events
using UniqueFile = UniqueOwner<FileHandleTraits>;        // CreateFileA results
using UniqueFindHandle = UniqueOwner<FindHandleTraits>;  // FindFirstFileA searches
using UniqueRegKey = UniqueOwner<RegKeyTraits>;          // opened registry keys
using UniqueGdiObject = UniqueOwner<GdiObjectTraits>;    // bitmaps, brushes
using UniqueMemoryDc = UniqueOwner<MemoryDcTraits>;      // CreateCompatibleDC results
using UniqueModule = UniqueOwner<ModuleTraits>;          // LoadLibraryA results

// Selects an object into a device context and puts the previous one back when it goes.
class ScopedSelection {
public:
    ScopedSelection(HDC dc, HGDIOBJ object) : dc(dc), previous(::SelectObject(dc, object)) {}
    ~ScopedSelection() {
        if (previous != nullptr && previous != HGDI_ERROR) ::SelectObject(dc, previous);
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;
    // False when the platform refused the selection.
    bool IsSelected() const { return previous != nullptr && previous != HGDI_ERROR; }

private:
    HDC dc;
    HGDIOBJ previous;
};
