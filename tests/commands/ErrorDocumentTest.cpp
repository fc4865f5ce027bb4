#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/ErrorDocument.h"
#include "support/InProcess.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

namespace {

using xmlerror::errorDocument;

TEST(ErrorDocument, EveryCodeHasItsTextAndSymbol) {
    testsupport::LogCapture capture;
    const std::pair<const wchar_t*, const wchar_t*> table[] = {
        {L"Path is invalid.", L"path_is_invalid"},       {L"Path is not allowed.", L"path_is_not_allowed"},
        {L"Access is denied.", L"access_is_denied"},     {L"Path not found.", L"path_not_found"},
        {L"Path already exists.", L"path_already_exists"}, {L"Sharing violation.", L"sharing_violation"},
        {L"Not same device.", L"not_same_device"},       {L"Directory not empty.", L"directory_not_empty"},
    };
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(errorDocument(n, L"C:\\a & <b>"), std::wstring(L"<XmlError Error=\"") + table[n - 1].first +
                                                      L"\" ErrorCode=\"" + table[n - 1].second +
                                                      L"\" ErrorDetails=\"C:\\a &amp; &lt;b&gt;\"/>\r\n");
    EXPECT_EQ(errorDocument(9, L"boom"), L"<XmlError Error=\"boom\" ErrorCode=\"unknown\" ErrorDetails=\"boom\"/>\r\n");
    EXPECT_EQ(errorDocument(42, L"odd"), L"<XmlError Error=\"odd\" ErrorCode=\"unknown\" ErrorDetails=\"odd\"/>\r\n");
    EXPECT_EQ(errorDocument(0, L"ignored"), L"<XmlError/>\r\n");
    // Each non-zero document reported its message to the event log, nothing for 0.
    EXPECT_EQ(capture.events().size(), 10u);
    EXPECT_EQ(capture.events().back().level, 3);
    EXPECT_EQ(capture.events().back().message, L"odd");
}

template <class F> xmlerror::Failure mapped(F raise) {
    try {
        raise();
    } catch (...) {
        return xmlerror::fromCurrentException();
    }
    return {};
}

TEST(ErrorDocument, ExceptionClassesMapToCodes) {
    using namespace RunTime;
    EXPECT_EQ(mapped([] { throw NotAllowedException(L"%s: Path is not allowed", L"C:\\x"); }).number, 2);
    EXPECT_EQ(mapped([] { throw NotAllowedException(L"%s: Path is not allowed", L"C:\\x"); }).message,
              L"C:\\x: Path is not allowed");
    EXPECT_EQ(mapped([] { raiseRunTimeError(123, L"bad"); }).number, 1);
    EXPECT_EQ(mapped([] { raiseOsError(L"", 5, {}); }).number, 3);
    EXPECT_EQ(mapped([] { raiseRunTimeError(5, L"denied"); }).number, 3);
    EXPECT_EQ(mapped([] { raiseOsError(L"", 2, {}); }).number, 4);
    EXPECT_EQ(mapped([] { raiseOsError(L"", 3, {}); }).number, 4);
    EXPECT_EQ(mapped([] { raiseRunTimeError(3, L"gone"); }).number, 4);
    EXPECT_EQ(mapped([] { raiseOsError(L"", 32, {}); }).number, 6);
    EXPECT_EQ(mapped([] { raiseRunTimeError(33, L"locked"); }).number, 6);
    EXPECT_EQ(mapped([] { raiseRunTimeError(183, L"there"); }).number, 5);
    EXPECT_EQ(mapped([] { raiseRunTimeError(17, L"device"); }).number, 7);
    EXPECT_EQ(mapped([] { raiseRunTimeError(145, L"full"); }).number, 8);
    // No line of their own: unknown.
    EXPECT_EQ(mapped([] { raiseOsError(L"", 183, {}); }).number, 9);
    EXPECT_EQ(mapped([] { raiseOsError(L"", 80, {}); }).number, 9);
    auto other = mapped([] { raiseRunTimeError(0, L"Unable to do it"); });
    EXPECT_EQ(other.number, 9);
    EXPECT_EQ(other.message, L"Unable to do it");
}

TEST(ErrorDocument, DebugModeDetailsCarryTheContexts) {
    {
        testsupport::ScopedConfigDword debug(L"Debug", 1);
        auto f = mapped([] { raisePlainError(L"library failure", {L"ctx", "Lib::call", 12}); });
        EXPECT_EQ(f.message, L"library failure\n   at ctx(Lib::call line 12)");
    }
    testsupport::ScopedConfigDword debug(L"Debug", std::nullopt);
    EXPECT_EQ(mapped([] { raisePlainError(L"library failure", {L"ctx", "Lib::call", 12}); }).message,
              L"library failure");
}

// The context lines of debug-mode details come back from a parser as they were.
TEST(ErrorDocument, DetailsWithLineFeedsReadBackWhole) {
    const std::wstring message = L"library failure\n   at ctx(Lib::call line 12)\r\n\tend";
    const std::wstring xml = errorDocument(9, message);
    EXPECT_NE(xml.find(L"ErrorDetails=\"library failure&#10;   at ctx(Lib::call line 12)&#13;&#10;&#9;end\""),
              std::wstring::npos)
        << text::toUtf8(xml);
    xml::XmlDocument reread;
    reread.loadText(xml, L"error");
    EXPECT_EQ(reread.root().text(L"ErrorDetails"), message);
    EXPECT_EQ(reread.root().text(L"Error"), message);
}

TEST(ErrorDocument, ForeignExceptionsAreNotMapped) {
    EXPECT_THROW(mapped([] { throw 1; }), int);
}

} // namespace
