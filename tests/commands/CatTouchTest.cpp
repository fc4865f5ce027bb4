#include "app/Text.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using testsupport::Call;

// Seconds since 1970 (UTC) of a file's last-write or last-access time.
int64_t fileSeconds(const std::wstring& path, bool access) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    const FILETIME& t = access ? data.ftLastAccessTime : data.ftLastWriteTime;
    ULARGE_INTEGER u{{t.dwLowDateTime, t.dwHighDateTime}};
    return static_cast<int64_t>(u.QuadPart / 10000000ULL) - 11644473600LL;
}

void setSeconds(const std::wstring& path, int64_t writeSeconds, int64_t accessSeconds) {
    auto toFileTime = [](int64_t s) {
        ULARGE_INTEGER u;
        u.QuadPart = static_cast<ULONGLONG>(s + 11644473600LL) * 10000000ULL;
        return FILETIME{u.LowPart, u.HighPart};
    };
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FILETIME w = toFileTime(writeSeconds), a = toFileTime(accessSeconds);
    SetFileTime(h, nullptr, &a, &w);
    CloseHandle(h);
}

// 2001-02-03 14:05:09 UTC (the tests run with TZ=UTC).
constexpr int64_t kStamp = 981209109;
constexpr int64_t kEarlier = 900000000;

class TouchCommand : public testsupport::FileCommandTest {
protected:
    TouchCommand() {
        file = tree.file(L"vhosts\\page.html", "<p/>");
        setSeconds(file, kEarlier, kEarlier);
    }
    std::wstring file;
};

TEST_F(TouchCommand, StampSetsTheLastWriteTimeOnly) {
    auto r = run({L"touch", L"-t", L"200102031405.09", file});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(fileSeconds(file, false), kStamp);
    EXPECT_EQ(fileSeconds(file, true), kEarlier);
    EXPECT_EQ(run({L"touch", L"-m", L"-t", L"206801010000", file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, false), 3092601600);
}

TEST_F(TouchCommand, AccessSelectorWinsOverModification) {
    EXPECT_EQ(run({L"touch", L"-a", L"-t", L"200102031405.09", file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, true), kStamp);
    EXPECT_EQ(fileSeconds(file, false), kEarlier);
    setSeconds(file, kEarlier, kEarlier);
    EXPECT_EQ(run({L"touch", L"-a", L"-m", L"-t", L"200102031405.09", file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, true), kStamp);
    EXPECT_EQ(fileSeconds(file, false), kEarlier);
}

TEST_F(TouchCommand, ObsolescentStampNeedsTheDoubleDash) {
    EXPECT_EQ(run({L"touch", L"--", L"0203140501", file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, false), kStamp - 9);
    // Without "--" the stamp is a second path: a usage error, nothing changed.
    setSeconds(file, kEarlier, kEarlier);
    auto r = run({L"touch", L"0203140501", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Usage:\ntouch [OPTION]... FILE...", 0), 0u) << r.out;
    EXPECT_EQ(fileSeconds(file, false), kEarlier);
}

TEST_F(TouchCommand, ReferenceTimeIsCopiedToTheSecond) {
    std::wstring reference = tree.file(L"vhosts\\reference.txt", "r");
    setSeconds(reference, kStamp, kStamp + 3600);
    EXPECT_EQ(run({L"touch", L"-r", reference, file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, false), kStamp);
    EXPECT_EQ(run({L"touch", L"-a", L"--reference=" + reference, file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, true), kStamp + 3600);
    // With -t as well, the reference decides; the stamp is only checked.
    setSeconds(file, kEarlier, kEarlier);
    EXPECT_EQ(run({L"touch", L"-r", reference, L"-t", L"203001010000", file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, false), kStamp);
    auto r = run({L"touch", L"-r", reference, L"-t", L"20300101", file});
    EXPECT_EQ(r.out, "Invalid date format (20300101)");
    r = run({L"touch", L"-r", site(L"nothing.txt"), file});
    EXPECT_EQ(r.out, "The reference (" + text::toUtf8(site(L"nothing.txt")) + ") is not exist");
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(TouchCommand, DirectoriesCanBeTouched) {
    std::wstring folder = tree.folder(L"vhosts\\dir");
    EXPECT_EQ(run({L"touch", L"-t", L"200102031405.09", folder}).exitCode, 0);
    EXPECT_EQ(fileSeconds(folder, false), kStamp);
}

TEST_F(TouchCommand, MissingFileFailsAndIsNotCreated) {
    auto before = testsupport::snapshot(tree.root());
    for (std::vector<std::wstring> args :
         {std::vector<std::wstring>{L"touch", site(L"new.txt")},
          {L"touch", L"-c", site(L"new.txt")},
          {L"touch", L"--no-create", L"-t", L"200102031405", site(L"new.txt")}}) {
        auto r = run(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out.rfind("Unable to create file '" + text::toUtf8(site(L"new.txt")) + "': (2) ", 0), 0u)
            << r.out;
    }
    EXPECT_EQ(testsupport::snapshot(tree.root()), before);
}

TEST_F(TouchCommand, RefusalsAndUsageChangeNothing) {
    std::wstring secret = tree.file(L"outside\\secret.txt", "s");
    setSeconds(secret, kEarlier, kEarlier);
    auto r = run({L"touch", L"-t", L"200102031405", secret});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos) << r.out;
    EXPECT_EQ(fileSeconds(secret, false), kEarlier);

    r = run({L"touch", L"--date=2001-02-03", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Usage:\ntouch", 0), 0u);
    EXPECT_EQ(fileSeconds(file, false), kEarlier);

    r = run({L"touch", L"-t", L"180001010000", file});
    EXPECT_EQ(r.out, "Invalid date format (180001010000)");
    EXPECT_EQ(fileSeconds(file, false), kEarlier);
    // YY 69 is 1969: before the runtime's epoch, so the local conversion refuses it.
    r = run({L"touch", L"-t", L"6901010000", file});
    EXPECT_EQ(r.out, "Invalid date format (6901010000)");
    EXPECT_EQ(fileSeconds(file, false), kEarlier);
    // YY 68 is 2068.
    EXPECT_EQ(run({L"touch", L"-t", L"6801010000", file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, false), 3092601600);
}

TEST_F(TouchCommand, AFailedTimeChangeIsReportedWithThePathAsGiven) {
    substitute.failNext(Call::setFileTime, L"", ERROR_ACCESS_DENIED);
    auto r = run({L"touch", L"-t", L"200102031405", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Unable to set a timestamp to the file (" + text::toUtf8(file) + ")");
}

TEST_F(TouchCommand, AccessDeniedOnOpenIsRecoveredByAGrant) {
    substitute.failNext(Call::createFile, file, ERROR_ACCESS_DENIED);
    EXPECT_EQ(run({L"touch", L"-t", L"200102031405.09", file}).exitCode, 0);
    EXPECT_EQ(fileSeconds(file, false), kStamp);
    // Two opens by touch, and between them two by the grant, which writes the owner and the DACL on
    // handles of the file itself.
    EXPECT_EQ(substitute.calls(Call::createFile, file), 4);
    EXPECT_EQ(substitute.calls(Call::setSecurityInfo, file), 2);
    EXPECT_TRUE(substitute.security(file).has_value()); // the grant went through the stored security
}

class CatCommand : public testsupport::FileCommandTest {};

TEST_F(CatCommand, AReaderThatLeavesEarlyIsNoFailure) {
    std::wstring file = tree.file(L"vhosts\\big.txt", std::string(100000, 'x'));
    HANDLE read = nullptr, write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 4096));
    CloseHandle(read);
    HANDLE old = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, write);
    auto r = run({L"cat", file});
    SetStdHandle(STD_OUTPUT_HANDLE, old);
    CloseHandle(write);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "");
}

TEST_F(CatCommand, MissingAndRefusedFilesFailWithoutOutput) {
    auto r = run({L"cat", site(L"missing.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("Unable to create file '" + text::toUtf8(site(L"missing.txt")) + "': (2) ", 0), 0u)
        << r.out;
    tree.file(L"outside\\secret.txt", "secret\n");
    r = run({L"cat", tree.path(L"outside\\secret.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("secret\n"), std::string::npos);
    EXPECT_EQ(run({L"cat", L"--help", site(L"x")}).out, "Usage:\ncat [-][file]...\n");
    // Access denied is not recovered for reading: one attempt only.
    std::wstring file = tree.file(L"vhosts\\page.html", "x");
    substitute.failNext(Call::createFile, file, ERROR_ACCESS_DENIED);
    r = run({L"cat", L"-h", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("': (5) "), std::string::npos) << r.out;
    EXPECT_EQ(substitute.calls(Call::createFile, file), 1);
}

} // namespace
