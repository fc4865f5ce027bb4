#include "app/Exceptions.h"

#include "app/Text.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <lmerr.h>

std::wstring vexception::text(bool full) const {
    std::wstring out = message_;
    if (full)
        for (const ErrorContext& c : contexts_)
            out += format(L"\n   at %s(%s line %d)", c.message, c.origin, c.line);
    return out;
}

namespace {

// The opening bracket that the closing one at `close` closes.
size_t openingOf(std::string_view name, size_t close, char open) {
    const char closing = name[close];
    int depth = 0;
    for (size_t i = close + 1; i-- > 0;) {
        if (name[i] == closing) ++depth;
        if (name[i] == open && --depth == 0) return i;
    }
    return name.npos;
}

} // namespace

std::string ErrorContext::originOf(std::string_view name) {
    // GCC names a function as its declaration reads, "std::wstring ns::C::f(int) const [with T =
    // int]", and a lambda as "ns::C::f(int)::<lambda()>"; the origin is the qualified name alone.
    name = name.substr(0, std::min(name.find("::<lambda"), name.find(" [with ")));
    // The parameter list: the last parenthesis closed at the top level and its opening one.
    if (size_t close = name.rfind(')'); close != name.npos) name = name.substr(0, openingOf(name, close, '('));
    // Template arguments of the function itself, then the return type.
    if (!name.empty() && name.back() == '>') name = name.substr(0, openingOf(name, name.size() - 1, '<'));
    int depth = 0;
    for (size_t i = name.size(); i-- > 0;) {
        if (name[i] == '>' || name[i] == ')') ++depth;
        if (name[i] == '<' || name[i] == '(') --depth;
        if (name[i] == ' ' && depth == 0) {
            name = name.substr(i + 1);
            break;
        }
    }
    std::string origin(name);
    constexpr std::string_view kAnonymous = "{anonymous}::";
    for (size_t at; (at = origin.find(kAnonymous)) != origin.npos;)
        origin.erase(at, kAnonymous.size());
    return origin;
}

RunTime::NotAllowedException::NotAllowedException(std::wstring message, int)
    : message_(std::move(message)), narrow_(text::toAnsi(message_)) {}

std::wstring systemErrorText(DWORD code) {
    std::wstring buffer(255, L'\0');
    for (;;) {
        DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer.data(),
                                 static_cast<DWORD>(buffer.size()), nullptr);
        if (n != 0) {
            buffer.resize(n);
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            if (code >= 0x80040200u && code <= 0x8004FFFFu)
                return format(L"IDispatch error #%d", static_cast<int>((code - 0x200u) & 0xFFFFu));
            return format(L"Unknown error 0x%0lX", code);
        }
        buffer.resize(buffer.size() * 2 + 2);
    }
    if (buffer.size() >= 2 && buffer.compare(buffer.size() - 2, 2, L"\r\n") == 0)
        buffer.resize(buffer.size() - 2);
    else if (!buffer.empty() && buffer.back() == L'\n')
        buffer.pop_back();
    return buffer;
}

std::wstring osErrorText(DWORD code) {
    wchar_t* raw = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
    std::unique_ptr<wchar_t, decltype(&LocalFree)> owned(raw, &LocalFree);
    if (n == 0 || raw == nullptr) return L"Unknown error";
    std::wstring s(raw, n);
    while (!s.empty() && (s.back() == L'\r' || s.back() == L'\n')) s.pop_back();
    return s;
}

namespace {

using RunTimeThrower = void (*)(const std::string& what, DWORD code);
using OsThrower = void (*)(const std::wstring& message, DWORD code, ErrorContext&& context);

template <class E> [[noreturn]] void throwRunTime(const std::string& what, DWORD code) { throw E(what, code); }
template <class E> [[noreturn]] void throwOs(const std::wstring& message, DWORD code, ErrorContext&& context) {
    throw E(message, code, std::move(context));
}

// Each Win32 code that has a class of its own: the run-time error raised with it, the OS error
// raised with it, and what an error report says of each (a code without an entry: the base
// classes, and "other").
struct CodeClass {
    DWORD code;
    RunTimeThrower runTime;
    FailureKind runTimeKind;
    OsThrower os;
    FailureKind osKind;
};

using namespace RunTime;
using K = FailureKind;
constexpr RunTimeThrower kRunTimeBase = &throwRunTime<Error>;
constexpr OsThrower kOsBase = &throwOs<vosexception>;

constexpr CodeClass kCodeClasses[] = {
    {ERROR_FILE_NOT_FOUND, &throwRunTime<PathNotFoundException>, K::PathNotFound, &throwOs<VFileNotFoundException>,
     K::PathNotFound},
    {ERROR_PATH_NOT_FOUND, &throwRunTime<PathNotFoundException>, K::PathNotFound, &throwOs<VPathNotFoundException>,
     K::PathNotFound},
    {ERROR_ACCESS_DENIED, &throwRunTime<AccessDeniedException>, K::AccessDenied, &throwOs<VAccessDeniedException>,
     K::AccessDenied},
    {ERROR_INVALID_HANDLE, &throwRunTime<InvalidHandleException>, K::Other, kOsBase, K::Other},
    {ERROR_OUTOFMEMORY, kRunTimeBase, K::Other, &throwOs<VOutOfMemoryException>, K::Other},
    {ERROR_INVALID_DRIVE, &throwRunTime<InvalidPathException>, K::InvalidPath, kOsBase, K::Other},
    {ERROR_NOT_SAME_DEVICE, &throwRunTime<NotSameDeviceException>, K::NotSameDevice, kOsBase, K::Other},
    {ERROR_NOT_DOS_DISK, &throwRunTime<InvalidPathException>, K::InvalidPath, kOsBase, K::Other},
    {ERROR_SHARING_VIOLATION, &throwRunTime<SharingViolationException>, K::SharingViolation,
     &throwOs<VSharingViolationException>, K::SharingViolation},
    {ERROR_LOCK_VIOLATION, &throwRunTime<SharingViolationException>, K::SharingViolation, kOsBase, K::Other},
    {ERROR_WRONG_DISK, &throwRunTime<InvalidPathException>, K::InvalidPath, kOsBase, K::Other},
    {ERROR_SHARING_BUFFER_EXCEEDED, &throwRunTime<SharingViolationException>, K::SharingViolation, kOsBase,
     K::Other},
    {ERROR_HANDLE_EOF, kRunTimeBase, K::Other, &throwOs<VEOFException>, K::Other},
    {ERROR_FILE_EXISTS, &throwRunTime<AlreadyExistsException>, K::AlreadyExists, &throwOs<VFileExistsException>,
     K::Other},
    {ERROR_INSUFFICIENT_BUFFER, kRunTimeBase, K::Other, &throwOs<VInsufficientBufferException>, K::Other},
    {ERROR_INVALID_NAME, &throwRunTime<InvalidPathException>, K::InvalidPath, kOsBase, K::Other},
    {ERROR_DIR_NOT_EMPTY, &throwRunTime<DirectoryNotEmptyException>, K::DirectoryNotEmpty, kOsBase, K::Other},
    {ERROR_BAD_PATHNAME, &throwRunTime<InvalidPathException>, K::InvalidPath, kOsBase, K::Other},
    {ERROR_ALREADY_EXISTS, &throwRunTime<AlreadyExistsException>, K::AlreadyExists,
     &throwOs<VAlreadyExistsException>, K::Other},
    {ERROR_DIRECTORY, &throwRunTime<InvalidPathException>, K::InvalidPath, kOsBase, K::Other},
    {ERROR_SERVICE_DOES_NOT_EXIST, kRunTimeBase, K::Other, &throwOs<VServiceDoesNotExistException>, K::Other},
    {ERROR_NONE_MAPPED, &throwRunTime<NoneMappedException>, K::Other, kOsBase, K::Other},
    {NERR_PasswordTooShort, kRunTimeBase, K::Other, &throwOs<VPasswordTooShortException>, K::Other},
};

const CodeClass* classOf(DWORD code) {
    for (const CodeClass& entry : kCodeClasses)
        if (entry.code == code) return &entry;
    return nullptr;
}

[[noreturn]] void throwWithCode(DWORD code, const std::string& narrow) {
    if (IsDebuggerPresent()) OutputDebugStringA((narrow + "\n").c_str());
    const CodeClass* entry = classOf(code);
    (entry ? entry->runTime : kRunTimeBase)(narrow, code);
    std::abort(); // the throwers never return
}

} // namespace

void throwRunTimeError(DWORD code, const std::wstring& message) {
    if (code == 0) throwWithCode(code, text::toAnsi(message));
    throwWithCode(code, text::toAnsi(format(L"%s: (%d) %s", message, static_cast<int>(code), systemErrorText(code))));
}

void raiseInvalidPath(const std::wstring& message) { throwWithCode(ERROR_INVALID_NAME, text::toAnsi(message)); }

FailureKind runTimeFailureKind(DWORD code) {
    const CodeClass* entry = classOf(code);
    return entry ? entry->runTimeKind : FailureKind::Other;
}

FailureKind osFailureKind(DWORD code) {
    const CodeClass* entry = classOf(code);
    return entry ? entry->osKind : FailureKind::Other;
}

void raiseOsError(const std::wstring& what, DWORD code, ErrorContext context) {
    std::wstring message = osErrorText(code) + format(L" (Error code %d)", static_cast<int>(code));
    if (!what.empty()) message += L" at " + what;
    const CodeClass* entry = classOf(code);
    (entry ? entry->os : kOsBase)(message, code, std::move(context));
    std::abort(); // the throwers never return
}

void raisePlainError(const std::wstring& message, ErrorContext context) {
    throw vexception(message, std::move(context));
}

std::wstring messageOf(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const vexception& e) {
        return e.message();
    } catch (const std::exception& e) {
        return text::fromAnsi(e.what());
    } catch (...) {
        return L"unknown failure";
    }
}
