#include "xml/COMStdoutStream.h"

#include "app/Exceptions.h"

namespace {

// Where a write of a streamed document fails, as the panel's logs have always shown it.
constexpr const char* kWriteOrigin = "COMStdoutStream::Write";
constexpr int kWriteFailedLine = 100;
constexpr int kShortWriteLine = 102;

} // namespace

COMStdoutStream* COMStdoutStream::create() { return new COMStdoutStream(nullptr, L"stdout"); }

COMStdoutStream* COMStdoutStream::create(HANDLE file, std::wstring shown) {
    return new COMStdoutStream(file, std::move(shown));
}

HRESULT COMStdoutStream::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IStream) || IsEqualIID(iid, IID_ISequentialStream)) {
        *out = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG COMStdoutStream::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG COMStdoutStream::Release() {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT COMStdoutStream::Write(const void* data, ULONG size, ULONG* written) {
    try {
        std::string filtered;
        if (filter_) {
            filtered = filter_(std::string_view(static_cast<const char*>(data), size));
            data = filtered.data();
        }
        const DWORD count = filter_ ? static_cast<DWORD>(filtered.size()) : size;
        DWORD done = 0;
        if (!WriteFile(file_ ? file_ : GetStdHandle(STD_OUTPUT_HANDLE), data, count, &done, nullptr))
            raiseOsError(L"Unable to write into " + shown_, GetLastError(),
                         {L"", kWriteOrigin, kWriteFailedLine});
        if (done < count)
            raisePlainError(format(L"Unable to write %d bytes into %s", count, shown_),
                            {L"", kWriteOrigin, kShortWriteLine});
        if (written) *written = size;
        return S_OK;
    } catch (...) {
        failure_ = std::current_exception();
        return STG_E_CANTSAVE;
    }
}
