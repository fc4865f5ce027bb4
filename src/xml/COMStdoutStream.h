// An IStream whose Write puts the bytes on the process's standard output handle (or on a spool
// file), unchanged unless a filter is set; for documents streamed through the MSXML SAX writer.
// Reference-counted, deleted at count zero.
#pragma once
#include <objidl.h>

#include <exception>
#include <functional>
#include <string>
#include <string_view>

class COMStdoutStream : public IStream {
public:
    // A new stream with reference count 1, on standard output (the handle of the moment of each write).
    static COMStdoutStream* create();
    // ... on a file of the program's own, named by `shown` in the failures.
    static COMStdoutStream* create(HANDLE file, std::wstring shown);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Applied to every piece before it is written; the writer is told the piece's own size.
    using Filter = std::function<std::string(std::string_view)>;
    void setFilter(Filter filter) { filter_ = std::move(filter); }

    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override;

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

    // Write is called from inside the writer's frames, which a C++ exception must not cross: a
    // failed write is kept and answered with STG_E_CANTSAVE, and the caller of the writer raises
    // it here once the writer has returned.
    void raiseFailure() const {
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    COMStdoutStream(HANDLE file, std::wstring shown) : file_(file), shown_(std::move(shown)) {}
    virtual ~COMStdoutStream() = default;
    HANDLE file_;
    std::wstring shown_;
    LONG references_ = 1;
    std::exception_ptr failure_;
    Filter filter_;
};
