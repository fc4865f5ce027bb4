#include "ipc/AclInheritanceSource.h"

#include "app/Exceptions.h"
#include "ipc/Serializer.h"
#include "support/FailureOf.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

namespace {

using RunTime::AclInheritanceSource;
using RunTime::InheritanceEntry;
using testsupport::failureOf;

TEST(AclInheritanceSource, AnAnswerIsTrustedOnlyWithOneEntryPerAce) {
    std::string answer = AclInheritanceSource::encode({{0, L""}, {1, L"C:\\inetpub"}, {2, L"C:\\"}});
    auto entries = AclInheritanceSource::decode(answer, 3);
    ASSERT_TRUE(entries);
    EXPECT_EQ((*entries)[1].generationGap, 1);
    EXPECT_EQ((*entries)[1].ancestor, L"C:\\inetpub");
    EXPECT_EQ((*entries)[2].ancestor, L"C:\\");
    EXPECT_FALSE(AclInheritanceSource::decode(answer, 2));
    EXPECT_FALSE(AclInheritanceSource::decode(answer, 4));
    EXPECT_FALSE(AclInheritanceSource::decode(vserializer::writer().putInt(-1).bytes(), 0));
}

TEST(AclInheritanceSource, MalformedAnswersFailClearly) {
    std::string answer = AclInheritanceSource::encode({{0, L""}, {1, L"C:\\inetpub"}});
    auto message = [](const std::string& bytes, DWORD count) {
        return failureOf<vexception>([&] { AclInheritanceSource::decode(bytes, count); }).message();
    };
    EXPECT_EQ(message(answer.substr(0, answer.size() - 3), 2),
              L"Unexpected end of data when read from serializer.");
    // A count announcing more entries than the bytes hold.
    EXPECT_EQ(message(vserializer::writer().putInt(2).putInt(0).bytes(), 2),
              L"Unexpected end of data when read from serializer.");
    EXPECT_EQ(message("", 0), L"Unexpected end of data when read from serializer.");
    EXPECT_EQ(message(vserializer::writer().putError(L"No such path").bytes(), 1), L"No such path");
}

TEST(AclInheritanceSource, TheStandinAnswersFromItsSettings) {
    testsupport::PanelStandin standin("[inheritance]\n"
                                      "C:\\inetpub\\vhosts\\a.com=0 \n"
                                      "C:\\inetpub\\vhosts\\a.com=2 C:\\inetpub\n"
                                      "C:\\inetpub\\vhosts\\b.com=1 C:\\inetpub\\vhosts\n");
    AclInheritanceSource source;
    auto entries = source.get(L"\\\\?\\c:\\INETPUB\\vhosts\\a.com", 2);
    ASSERT_TRUE(entries);
    EXPECT_EQ((*entries)[0].generationGap, 0);
    EXPECT_EQ((*entries)[0].ancestor, L"");
    EXPECT_EQ((*entries)[1].ancestor, L"C:\\inetpub");
    EXPECT_FALSE(source.get(L"\\\\?\\C:\\inetpub\\vhosts\\b.com", 3)); // wrong count: every entry explicit
    EXPECT_FALSE(source.get(L"\\\\?\\C:\\elsewhere", 1));
    EXPECT_TRUE(source.get(L"\\\\?\\C:\\elsewhere", 0));
}

} // namespace
