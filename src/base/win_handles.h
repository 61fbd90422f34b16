// Small owners of Win32 resources, so that each is released on every path.
#pragma once

#include <windows.h>

// A kernel handle closed with CloseHandle. Both null and INVALID_HANDLE_VALUE
// mean "no handle".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    // Hands the handle over; the owner no longer closes it.
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr) {
        if (IsValid())
            CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

// A window of the program's own, destroyed with DestroyWindow.
class OwnedWindow {
public:
    explicit OwnedWindow(HWND window) : window_(window) {}
    ~OwnedWindow() {
        if (window_ != nullptr)
            DestroyWindow(window_);
    }
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;

    HWND Get() const { return window_; }

private:
    HWND window_;
};

// A search of FindFirstFileA, closed with FindClose.
class FindHandle {
public:
    FindHandle(const char* pattern, WIN32_FIND_DATAA* entry)
        : handle_(FindFirstFileA(pattern, entry)) {}
    ~FindHandle() {
        if (IsValid())
            FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// A loaded module, freed with FreeLibrary.
class LoadedModule {
public:
    explicit LoadedModule(HMODULE module) : module_(module) {}
    ~LoadedModule() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    HMODULE Get() const { return module_; }

private:
    HMODULE module_;
};

// A view of a file mapping, unmapped when the owner goes.
class MappedView {
public:
    MappedView() = default;
    ~MappedView() { Reset(); }
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;

    const BYTE* Get() const { return view_; }
    void Reset(const void* view = nullptr) {
        if (view_ != nullptr)
            UnmapViewOfFile(view_);
        view_ = static_cast<const BYTE*>(view);
    }

private:
    const BYTE* view_ = nullptr;
};

// A COM interface pointer, released when the owner goes.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* operator->() const { return pointer_; }
    Interface* Get() const { return pointer_; }
    // For functions that hand out a new interface.
    void** Out() { return reinterpret_cast<void**>(&pointer_); }

private:
    Interface* pointer_ = nullptr;
};

// The clipboard while it is open; closed on every path.
class OpenedClipboard {
public:
    OpenedClipboard() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~OpenedClipboard() {
        if (open_)
            CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;

    bool IsOpen() const { return open_; }

private:
    bool open_;
};

// A global memory block, freed unless handed over with Release.
class GlobalBlock {
public:
    GlobalBlock(UINT flags, SIZE_T size) : block_(GlobalAlloc(flags, size)) {}
    ~GlobalBlock() {
        if (block_ != nullptr)
            GlobalFree(block_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    HGLOBAL Get() const { return block_; }
    void Release() { block_ = nullptr; }

private:
    HGLOBAL block_;
};
