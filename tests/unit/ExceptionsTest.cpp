#include "app/Exceptions.h"
#include "app/Guard.h"
#include "app/Text.h"

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

namespace {

template <class E> bool raisesRunTime(DWORD code) {
    try {
        raiseRunTimeError(code, L"Unable to do (%s)", L"x");
    } catch (const E&) {
        return true;
    } catch (...) {
    }
    return false;
}

TEST(Exceptions, RunTimeClassFollowsTheWin32Code) {
    using namespace RunTime;
    for (DWORD c : {2u, 3u}) EXPECT_TRUE(raisesRunTime<PathNotFoundException>(c)) << c;
    EXPECT_TRUE(raisesRunTime<AccessDeniedException>(5));
    EXPECT_TRUE(raisesRunTime<InvalidHandleException>(6));
    for (DWORD c : {15u, 26u, 34u, 123u, 161u, 267u}) EXPECT_TRUE(raisesRunTime<InvalidPathException>(c)) << c;
    EXPECT_TRUE(raisesRunTime<NotSameDeviceException>(17));
    for (DWORD c : {32u, 33u, 36u}) EXPECT_TRUE(raisesRunTime<SharingViolationException>(c)) << c;
    for (DWORD c : {80u, 183u}) EXPECT_TRUE(raisesRunTime<AlreadyExistsException>(c)) << c;
    EXPECT_TRUE(raisesRunTime<DirectoryNotEmptyException>(145));
    EXPECT_TRUE(raisesRunTime<NoneMappedException>(1332));
    // 0 and anything else: exactly the base class. Every class carries the code it was raised with.
    for (DWORD c : {0u, 87u, 1234u, 5u, 183u}) {
        try {
            raiseRunTimeError(c, L"m");
        } catch (const Error& e) {
            if (c != 5 && c != 183) {
                EXPECT_EQ(typeid(e), typeid(Error)) << c;
            }
            EXPECT_EQ(e.code(), c);
        }
    }
}

TEST(Exceptions, TheProgramsOwnPathRefusalsAreInvalidPathsWithTheirMessageAsItStands) {
    try {
        raiseInvalidPath(L"C:\\a:b: contains a stream name");
        FAIL();
    } catch (const RunTime::InvalidPathException& e) {
        EXPECT_STREQ(e.what(), "C:\\a:b: contains a stream name");
        EXPECT_EQ(e.code(), DWORD(ERROR_INVALID_NAME));
    }
}

// What the error documents say of a code: a run-time error and an OS error of one code may
// differ, as their classes do (an OS error of 80 or 183 has no "already exists" of its own).
TEST(Exceptions, FailureKindsFollowTheClassOfEachFamily) {
    EXPECT_EQ(runTimeFailureKind(ERROR_ALREADY_EXISTS), FailureKind::AlreadyExists);
    EXPECT_EQ(osFailureKind(ERROR_ALREADY_EXISTS), FailureKind::Other);
    EXPECT_EQ(runTimeFailureKind(ERROR_LOCK_VIOLATION), FailureKind::SharingViolation);
    EXPECT_EQ(osFailureKind(ERROR_LOCK_VIOLATION), FailureKind::Other);
    for (DWORD c : {2u, 3u}) {
        EXPECT_EQ(runTimeFailureKind(c), FailureKind::PathNotFound);
        EXPECT_EQ(osFailureKind(c), FailureKind::PathNotFound);
    }
    EXPECT_EQ(osFailureKind(ERROR_ACCESS_DENIED), FailureKind::AccessDenied);
    EXPECT_EQ(osFailureKind(ERROR_SHARING_VIOLATION), FailureKind::SharingViolation);
    for (DWORD c : {0u, 6u, 1332u, 1314u}) EXPECT_EQ(runTimeFailureKind(c), FailureKind::Other) << c;
}

TEST(Exceptions, RunTimeMessageCarriesCodeAndSystemText) {
    try {
        raiseRunTimeError(5, L"Unable to copy (%s) to (%s)", L"a", std::wstring(L"b"));
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to copy (a) to (b): (5) " + text::toAnsi(systemErrorText(5)));
    }
    try {
        raiseRunTimeError(0, L"The mode (%s) is invalid", L"x");
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "The mode (x) is invalid");
    }
}

TEST(Exceptions, SystemTextsWithoutATableEntry) {
    EXPECT_EQ(systemErrorText(0x80040205u), L"IDispatch error #5");
    EXPECT_EQ(systemErrorText(0x2FFFFFFFu), L"Unknown error 0x2FFFFFFF");
    EXPECT_EQ(osErrorText(0x2FFFFFFFu), L"Unknown error");
    std::wstring t = systemErrorText(2);
    ASSERT_FALSE(t.empty());
    EXPECT_NE(t.back(), L'\n');
}

template <class E> bool raisesOs(DWORD code) {
    try {
        raiseOsError(L"", code, {L"", "T::t", 1});
    } catch (const E& e) {
        return e.code() == code;
    } catch (...) {
    }
    return false;
}

TEST(Exceptions, OsErrorClassFollowsTheWin32Code) {
    EXPECT_TRUE(raisesOs<VFileNotFoundException>(2));
    EXPECT_TRUE(raisesOs<VPathNotFoundException>(3));
    EXPECT_TRUE(raisesOs<VAccessDeniedException>(5));
    EXPECT_TRUE(raisesOs<VOutOfMemoryException>(14));
    EXPECT_TRUE(raisesOs<VSharingViolationException>(32));
    EXPECT_TRUE(raisesOs<VEOFException>(38));
    EXPECT_TRUE(raisesOs<VFileExistsException>(80));
    EXPECT_TRUE(raisesOs<VInsufficientBufferException>(122));
    EXPECT_TRUE(raisesOs<VAlreadyExistsException>(183));
    EXPECT_TRUE(raisesOs<VServiceDoesNotExistException>(1060));
    EXPECT_TRUE(raisesOs<VPasswordTooShortException>(2245));
    try {
        raiseOsError(L"", 87, {L"", "T::t", 1});
    } catch (const vexception& e) {
        EXPECT_EQ(typeid(e), typeid(vosexception));
    }
}

TEST(Exceptions, OsErrorMessageAndFullForm) {
    try {
        raiseOsError(L"Unable to read from pipe", 109, {L"", "Con::Pipe::read", 77});
    } catch (const vosexception& e) {
        EXPECT_EQ(e.message(), osErrorText(109) + L" (Error code 109) at Unable to read from pipe");
        EXPECT_EQ(e.text(false), e.message());
        EXPECT_EQ(e.text(true), e.message() + L"\n   at (Con::Pipe::read line 77)");
    }
    try {
        raiseOsError(L"", 5, {L"ctx", "A::b", 3});
    } catch (const vosexception& e) {
        EXPECT_EQ(e.message(), osErrorText(5) + L" (Error code 5)");
    }
}

namespace raising {

// A helper that raises for its callers, as the modules' helpers do: the context names the caller.
[[noreturn]] void refuse(ErrorContext where = {}) {
    raisePlainError(L"refused", std::move(where));
}

struct Site {
    template <class F> static vexception caught(F&& raise) {
        try {
            raise();
        } catch (const vexception& e) {
            return e;
        }
        return vexception(L"nothing raised");
    }

    // `line` is read here, after the raise that sets it (arguments are evaluated in no set order).
    static void expectContext(const vexception& e, const std::string& origin, const int& line) {
        ASSERT_EQ(e.contexts().size(), 1u) << text::fromAnsi(origin);
        EXPECT_EQ(e.contexts()[0].origin, origin);
        EXPECT_EQ(e.contexts()[0].line, line) << text::fromAnsi(origin);
        EXPECT_EQ(e.contexts()[0].message, L"");
    }

    static void raiseInAMember() {
        int line = 0;
        expectContext(caught([&] { line = __LINE__, raiseOsError(L"x", 5); }),
                      "raising::Site::raiseInAMember", line);
        expectContext(caught([&] { line = __LINE__, raisePlainError(L"x", "Con::Pipe::read"); }),
                      "Con::Pipe::read", line);
        expectContext(caught([&] { line = __LINE__, refuse(); }), "raising::Site::raiseInAMember", line);
        expectContext(caught([&] { line = __LINE__, refuse("Named::origin"); }), "Named::origin", line);
    }

    template <class T> static std::string originInATemplate(T) {
        return caught([] { raisePlainError(L"x"); }).contexts().at(0).origin;
    }
};

} // namespace raising

// An incidental context: the raising call's line, and the origin named there or else the
// function the call is written in (a lambda's is the function around it).
TEST(ErrorContext, AnIncidentalContextNamesTheRaisingCall) {
    raising::Site::raiseInAMember();
    EXPECT_EQ(raising::Site::originInATemplate(3), "raising::Site::originInATemplate");
    int line = 0;
    vexception e = raising::Site::caught(
        [&] { guarded(ErrorContext{L"step"}, [&] { line = __LINE__, throw std::runtime_error("boom"); }); });
    ASSERT_EQ(e.contexts().size(), 1u);
    EXPECT_EQ(e.contexts()[0].message, L"step");
    EXPECT_EQ(e.contexts()[0].origin, "ErrorContext_AnIncidentalContextNamesTheRaisingCall_Test::TestBody");
    EXPECT_EQ(e.contexts()[0].line, line);
    // A contract context is exactly what it says.
    ErrorContext contract{L"execute command cp", "Quarn::start", 4032};
    EXPECT_EQ(contract.origin, "Quarn::start");
    EXPECT_EQ(contract.line, 4032);
}

TEST(ErrorContext, OriginOfTheCompilersFunctionNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"void Con::Overlapped::reset()", "Con::Overlapped::reset"},
        {"std::__cxx11::basic_string<wchar_t> security::Sid::toString() const", "security::Sid::toString"},
        {"void security::{anonymous}::malformed(ErrorContext)", "security::malformed"},
        {"ns::K::K(T) [with T = int]", "ns::K::K"},
        {"ns::K::K<int>(int)::<lambda()>", "ns::K::K"},
        {"DWORD Con::Pipe::transfer(DWORD, Issue) [with Issue = Con::Pipe::read(void*)::<lambda(DWORD*)>]",
         "Con::Pipe::transfer"},
        {"std::vector<std::pair<int, int> > db::Rows::all(std::function<void(int)>) const", "db::Rows::all"},
        {"bool files::Match::operator()(int) const", "files::Match::operator()"},
        {"int main()", "main"},
        {"", ""},
    };
    for (const auto& [name, origin] : cases)
        EXPECT_EQ(ErrorContext::originOf(name), origin) << name;
}

std::wstring guardedText(const std::function<void()>& body) {
    try {
        guarded({L"outer", "Outer::run", 9}, [&] { guarded({L"inner", "Inner::run", 4}, body); });
    } catch (const vexception& e) {
        return e.text(true);
    }
    return L"nothing";
}

TEST(Guard, ConvertsWhateverLeavesTheBodyAndAddsContextsInnermostFirst) {
    EXPECT_EQ(guardedText([] { throw std::runtime_error("boom"); }),
              L"boom\n   at inner(Inner::run line 4)\n   at outer(Outer::run line 9)");
    EXPECT_EQ(guardedText([] { throw 42; }), L"Unexpected error\n   at inner(Inner::run line 4)\n   at outer(Outer::run line 9)");
    EXPECT_EQ(guardedText([] { throw cwrpexception(0xC0000094u); }).substr(0, 24), L"C Exception: 3221225620\n");
    EXPECT_EQ(guardedText([] { throw RunTime::NotAllowedException(L"%s: Path is not allowed", L"C:\\x"); }).substr(0, 26),
              L"C:\\x: Path is not allowed\n");
}

TEST(Guard, KeepsTheClassOfAVexception) {
    try {
        guarded({L"b", "B::b", 2}, [] { raiseOsError(L"", 5, {L"a", "A::a", 1}); });
    } catch (const VAccessDeniedException& e) {
        ASSERT_EQ(e.contexts().size(), 2u);
        EXPECT_EQ(e.contexts()[1].origin, "B::b");
        return;
    }
    FAIL() << "class lost";
}

TEST(Guard, ComErrorMessageNamesTheCodeAndTheBlock) {
    std::wstring t = guardedText([] { _com_issue_error(E_NOINTERFACE); });
    std::wstring expected = std::wstring(_com_error(E_NOINTERFACE).ErrorMessage()) + L" (COM Error 80004002) at inner\n   at (Inner::run line 4)";
    EXPECT_EQ(t.substr(0, expected.size()), expected);
}

__attribute__((noinline)) void writeThrough(volatile int* p) { *p = 1; }

struct Flag {
    bool* set;
    ~Flag() { *set = true; }
};

TEST(Guard, HardwareFaultsBecomeCExceptionsAndUnwind) {
    for (int round = 0; round < 3; ++round) {
        bool destroyed = false;
        std::wstring t = guardedText([&] {
            Flag f{&destroyed};
            writeThrough(nullptr);
        });
        EXPECT_EQ(t.substr(0, 25), L"C Exception: 3221225477\n ") << round;
        EXPECT_TRUE(destroyed);
    }
}

} // namespace
