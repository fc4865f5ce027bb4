#include "app/Exceptions.h"
#include "commands/files/CopyMove.h"

#include <gtest/gtest.h>

namespace {

TEST(SubPath, ComparesComponentsWithoutCaseAndPrefix) {
    EXPECT_TRUE(isSubPath(L"\\\\?\\C:\\dir", L"\\\\?\\C:\\dir\\sub"));
    EXPECT_TRUE(isSubPath(L"\\\\?\\C:\\Dir", L"\\\\?\\c:\\dIR\\sub\\deeper"));
    EXPECT_TRUE(isSubPath(L"\\??\\C:\\dir", L"\\\\?\\C:\\dir/sub"));
    EXPECT_TRUE(isSubPath(L"C:/dir", L"\\\\?\\C:\\dir\\sub"));
    // A volume root holds everything on it.
    EXPECT_TRUE(isSubPath(L"\\\\?\\C:\\", L"\\\\?\\C:\\dir"));

    EXPECT_FALSE(isSubPath(L"\\\\?\\C:\\dir", L"\\\\?\\C:\\dir"));
    EXPECT_FALSE(isSubPath(L"\\\\?\\C:\\dir", L"\\\\?\\C:\\DIR"));
    EXPECT_FALSE(isSubPath(L"\\\\?\\C:\\dir", L"\\\\?\\C:\\dir2\\sub"));
    EXPECT_FALSE(isSubPath(L"\\\\?\\C:\\dir\\sub", L"\\\\?\\C:\\dir"));
    EXPECT_FALSE(isSubPath(L"\\\\?\\C:\\dir", L"\\\\?\\D:\\dir\\sub"));
}

// The same path as checked: its long form is its normal form (the test paths do not exist).
paths::CheckedPath checked(const std::wstring& path) {
    return {path, paths::NormalPath(path), paths::NormalPath(path)};
}

TEST(SubPath, RefusalIsAnInvalidPathErrorWithCode161) {
    EXPECT_NO_THROW(refuseSubPath(checked(L"\\\\?\\C:\\a"), checked(L"\\\\?\\C:\\a")));
    EXPECT_NO_THROW(refuseSubPath(checked(L"\\\\?\\C:\\a"), checked(L"\\\\?\\C:\\b")));
    try {
        refuseSubPath(checked(L"\\\\?\\C:\\a"), checked(L"\\\\?\\C:\\a\\b"));
        FAIL() << "no failure";
    } catch (const RunTime::InvalidPathException& e) {
        std::string what = e.what();
        EXPECT_EQ(what.rfind("Unable to copy from C:\\a to C:\\a\\b. The destination is sub path of the source "
                             "path.: (161) ",
                             0),
                  0u)
            << what;
    }
}

} // namespace
