// Owners of Win32 handles: each closes what it holds in its destructor.
#pragma once
#include <utility>

#include <windows.h>

namespace platform {

// Traits name the invalid value (`invalid()`) and how to close (`close(h)`).
template <class T, class Traits> class UniqueHandle {
    static T Invalid() { return Traits::invalid(); }

public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, Invalid()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    T get() const { return h_; }
    bool valid() const { return h_ != Invalid() && h_ != T{}; }
    explicit operator bool() const { return valid(); }
    T release() { return std::exchange(h_, Invalid()); }
    void reset() { reset(Invalid()); }
    void reset(T h) {
        if (valid()) Traits::close(h_);
        h_ = h;
    }
    // For out-parameters of the API: the old value is released first.
    T* receive() {
        reset();
        return &h_;
    }

private:
    T h_ = Invalid();
};

template <class T, void (*Close)(T), bool MinusOne> struct HandleTraits {
    static T invalid() { return MinusOne ? reinterpret_cast<T>(INVALID_HANDLE_VALUE) : T{}; }
    static void close(T h) { Close(h); }
};
inline void closeKernel(HANDLE h) { CloseHandle(h); }
inline void closeFind(HANDLE h) { FindClose(h); }
inline void closeKey(HKEY h) { RegCloseKey(h); }
inline void closeLocal(HLOCAL h) { LocalFree(h); }

// A kernel handle whose invalid value is INVALID_HANDLE_VALUE (files, pipes); null also counts as invalid.
using FileHandle = UniqueHandle<HANDLE, HandleTraits<HANDLE, closeKernel, true>>;
// A kernel handle whose invalid value is null (events, processes, threads, tokens).
using Handle = UniqueHandle<HANDLE, HandleTraits<HANDLE, closeKernel, false>>;
using FindHandle = UniqueHandle<HANDLE, HandleTraits<HANDLE, closeFind, true>>;
using RegKey = UniqueHandle<HKEY, HandleTraits<HKEY, closeKey, false>>;
using LocalMemory = UniqueHandle<HLOCAL, HandleTraits<HLOCAL, closeLocal, false>>;

} // namespace platform
