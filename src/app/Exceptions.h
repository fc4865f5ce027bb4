// The exception classes of the program and the two raising operations that choose a class
// from a Win32 error code. Every failure anywhere is one of these.
#pragma once
#include <exception>
#include "app/Format.h"

#include <source_location>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

// One step of the way an exception took outward: the guarded block's message, its origin
// ("Class::method") and its source line.
//
// A context whose origin and line callers rely on (the panel reads them in logs and error
// documents) is written out from named constants. Any other context is made where the failure is
// raised: its line is the raising call's, and its origin the one named there or else the
// enclosing function's. A helper that raises for its callers takes an `ErrorContext where = {}`
// so that the context names the caller.
struct ErrorContext {
    ErrorContext(std::wstring message, std::string origin, int line)
        : message(std::move(message)), origin(std::move(origin)), line(line) {}
    ErrorContext(std::wstring message, const char* origin,
                 std::source_location where = std::source_location::current())
        : message(std::move(message)), origin(origin), line(static_cast<int>(where.line())) {}
    ErrorContext(const char* origin, std::source_location where = std::source_location::current())
        : ErrorContext(std::wstring(), origin, where) {}
    explicit ErrorContext(std::wstring message, std::source_location where = std::source_location::current())
        : message(std::move(message)), line(static_cast<int>(where.line())), function(where.function_name()) {}
    ErrorContext(std::source_location where = std::source_location::current())
        : ErrorContext(std::wstring(), where) {}

    // "Class::method" (namespaces included) of a function as the compiler names it: without
    // return type, parameters and template arguments; a lambda counts as the function it is
    // written in.
    static std::string originOf(std::string_view functionName);
    // The origin, made from `function` when it is still to be made.
    std::string originName() const { return function ? originOf(function) : origin; }
    // Makes the origin from `function`: done when a failure takes the context on, never on the
    // way through the many calls that succeed (a helper's defaulted context is built on each).
    void resolve() {
        if (function) origin = originOf(function);
        function = nullptr;
    }

    std::wstring message;
    std::string origin;
    int line = 0;
    const char* function = nullptr; // the compiler's name of the enclosing function, until resolve()
};

class vexception {
public:
    explicit vexception(std::wstring message) : message_(std::move(message)) {}
    vexception(std::wstring message, ErrorContext context) : message_(std::move(message)) {
        addContext(std::move(context));
    }
    virtual ~vexception() = default;

    const std::wstring& message() const { return message_; }
    const std::vector<ErrorContext>& contexts() const { return contexts_; }
    void addContext(ErrorContext context) {
        context.resolve();
        contexts_.push_back(std::move(context));
    }

    // Short form: the message. Full form: the message, then "\n   at MSG(ORIGIN line N)" per context.
    std::wstring text(bool full) const;

private:
    std::wstring message_;
    std::vector<ErrorContext> contexts_;
};

class vosexception : public vexception {
public:
    vosexception(std::wstring message, DWORD code, ErrorContext context)
        : vexception(std::move(message), std::move(context)), code_(code) {}
    DWORD code() const { return code_; }

private:
    DWORD code_;
};

#define QUARN_OS_EXCEPTION(Name)                                                                                 \
    class Name : public vosexception {                                                                           \
    public:                                                                                                      \
        using vosexception::vosexception;                                                                        \
    };
QUARN_OS_EXCEPTION(VFileNotFoundException)
QUARN_OS_EXCEPTION(VPathNotFoundException)
QUARN_OS_EXCEPTION(VAccessDeniedException)
QUARN_OS_EXCEPTION(VOutOfMemoryException)
QUARN_OS_EXCEPTION(VSharingViolationException)
QUARN_OS_EXCEPTION(VEOFException)
QUARN_OS_EXCEPTION(VFileExistsException)
QUARN_OS_EXCEPTION(VInsufficientBufferException)
QUARN_OS_EXCEPTION(VAlreadyExistsException)
QUARN_OS_EXCEPTION(VServiceDoesNotExistException)
QUARN_OS_EXCEPTION(VPasswordTooShortException)
#undef QUARN_OS_EXCEPTION

#define QUARN_PLAIN_EXCEPTION(Name)                                                                              \
    class Name : public vexception {                                                                             \
    public:                                                                                                      \
        using vexception::vexception;                                                                            \
    };
QUARN_PLAIN_EXCEPTION(ArgumentException)
namespace VDatabase {
QUARN_PLAIN_EXCEPTION(ConnectException)
}
namespace HostingSecurity {
QUARN_PLAIN_EXCEPTION(RootCorrelationException)
}
namespace vserializer {
QUARN_PLAIN_EXCEPTION(invalidprotocol)
}
#undef QUARN_PLAIN_EXCEPTION

namespace RunTime {

// A run-time error: its text (with a Win32 code, "message: (code) system text") and the code it
// was raised with (0: none), from which the class and the error documents' code follow.
class Error : public std::runtime_error {
public:
    Error(const std::string& what, DWORD code) : std::runtime_error(what), code_(code) {}
    DWORD code() const { return code_; }

private:
    DWORD code_;
};

#define QUARN_RUNTIME_EXCEPTION(Name)                                                                            \
    class Name : public Error {                                                                                  \
    public:                                                                                                      \
        using Error::Error;                                                                                      \
    };
QUARN_RUNTIME_EXCEPTION(PathNotFoundException)
QUARN_RUNTIME_EXCEPTION(InvalidPathException)
QUARN_RUNTIME_EXCEPTION(AccessDeniedException)
QUARN_RUNTIME_EXCEPTION(SharingViolationException)
QUARN_RUNTIME_EXCEPTION(AlreadyExistsException)
QUARN_RUNTIME_EXCEPTION(NotSameDeviceException)
QUARN_RUNTIME_EXCEPTION(DirectoryNotEmptyException)
QUARN_RUNTIME_EXCEPTION(NoneMappedException)
QUARN_RUNTIME_EXCEPTION(InvalidHandleException)
#undef QUARN_RUNTIME_EXCEPTION

// Not a failure: prepare ends the command without its execute.
class CancelPrepareException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Refusal of the allowed-path policy; the message is formatted from a wide format.
class NotAllowedException : public std::exception {
public:
    template <class... Args>
    explicit NotAllowedException(std::wstring_view f, const Args&... args) : NotAllowedException(format(f, args...), 0) {}
    const char* what() const noexcept override { return narrow_.c_str(); }
    const std::wstring& message() const { return message_; }

private:
    NotAllowedException(std::wstring message, int);
    std::wstring message_;
    std::string narrow_;
};

} // namespace RunTime

// A structured exception (access violation and the like) caught in a guarded block.
class cwrpexception {
public:
    explicit cwrpexception(unsigned code) : code_(code) {}
    unsigned code() const { return code_; }

private:
    unsigned code_;
};

// System text of a Win32 code for "%s: (%d) %s" (FormatMessage into a growing buffer).
std::wstring systemErrorText(DWORD code);
// System text of a Win32 code for OS-error messages ("Unknown error" when there is none).
std::wstring osErrorText(DWORD code);

// Throws the run-time error class chosen by the code with an already formatted message.
[[noreturn]] void throwRunTimeError(DWORD code, const std::wstring& message);

// Throws the run-time error of an invalid path name (the class of ERROR_INVALID_NAME) with the
// message as it stands: a refusal of the program's own rules, which no system call answered.
[[noreturn]] void raiseInvalidPath(const std::wstring& message);

// What an error report says of a failure's Win32 code: the kind the code stands for.
enum class FailureKind {
    Other,
    InvalidPath,
    AccessDenied,
    PathNotFound,
    AlreadyExists,
    SharingViolation,
    NotSameDevice,
    DirectoryNotEmpty,
};
// The kind of a run-time error raised with `code`.
FailureKind runTimeFailureKind(DWORD code);
// The kind of an OS error (vosexception) of `code`: only the codes that have an OS error class
// of their own and a kind.
FailureKind osFailureKind(DWORD code);

// Raise a run-time error: the message formatted from the arguments; with a non-zero code the
// text becomes "%s: (%d) %s" with the code and its system text.
template <class... Args> [[noreturn]] void raiseRunTimeError(DWORD code, std::wstring_view f, const Args&... args) {
    throwRunTimeError(code, format(f, args...));
}

// Raise an OS error: the vosexception subclass chosen by the code, its message the system text,
// " (Error code %d)" and, when given, " at " and what.
[[noreturn]] void raiseOsError(const std::wstring& what, DWORD code, ErrorContext context = {});

// Raise a plain error.
[[noreturn]] void raisePlainError(const std::wstring& message, ErrorContext context = {});

// The message of a caught failure of any class, for reports that name a failure after handling
// another (a rollback that failed, say).
std::wstring messageOf(const std::exception_ptr& failure);
