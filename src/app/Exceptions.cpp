#include "app/Exceptions.h"

#include "app/Text.h"

#include <memory>

std::wstring vexception::text(bool full) const {
    std::wstring out = message_;
    if (full)
        for (const ErrorContext& c : contexts_)
            out += format(L"\n   at %s(%s line %d)", c.message, c.origin, c.line);
    return out;
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

void throwRunTimeError(DWORD code, const std::wstring& message) {
    std::string narrow = text::toAnsi(message);
    if (code != 0)
        narrow = text::toAnsi(format(L"%s: (%d) %s", message, static_cast<int>(code), systemErrorText(code)));
    if (IsDebuggerPresent()) OutputDebugStringA((narrow + "\n").c_str());
    switch (code) {
    case 2:
    case 3:
        throw RunTime::PathNotFoundException(narrow);
    case 5:
        throw RunTime::AccessDeniedException(narrow);
    case 6:
        throw RunTime::InvalidHandleException(narrow);
    case 15:
    case 26:
    case 34:
    case 123:
    case 161:
    case 267:
        throw RunTime::InvalidPathException(narrow);
    case 17:
        throw RunTime::NotSameDeviceException(narrow);
    case 32:
    case 33:
    case 36:
        throw RunTime::SharingViolationException(narrow);
    case 80:
    case 183:
        throw RunTime::AlreadyExistsException(narrow);
    case 145:
        throw RunTime::DirectoryNotEmptyException(narrow);
    case 1332:
        throw RunTime::NoneMappedException(narrow);
    default:
        throw std::runtime_error(narrow);
    }
}

void raiseOsError(const std::wstring& what, DWORD code, ErrorContext context) {
    std::wstring message = osErrorText(code) + format(L" (Error code %d)", static_cast<int>(code));
    if (!what.empty()) message += L" at " + what;
    switch (code) {
    case 2:
        throw VFileNotFoundException(message, code, std::move(context));
    case 3:
        throw VPathNotFoundException(message, code, std::move(context));
    case 5:
        throw VAccessDeniedException(message, code, std::move(context));
    case 14:
        throw VOutOfMemoryException(message, code, std::move(context));
    case 32:
        throw VSharingViolationException(message, code, std::move(context));
    case 38:
        throw VEOFException(message, code, std::move(context));
    case 80:
        throw VFileExistsException(message, code, std::move(context));
    case 122:
        throw VInsufficientBufferException(message, code, std::move(context));
    case 183:
        throw VAlreadyExistsException(message, code, std::move(context));
    case 1060:
        throw VServiceDoesNotExistException(message, code, std::move(context));
    case 2245:
        throw VPasswordTooShortException(message, code, std::move(context));
    default:
        throw vosexception(message, code, std::move(context));
    }
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
