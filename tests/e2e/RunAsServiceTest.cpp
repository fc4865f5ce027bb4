// The run-as service of the panel stand-in, spoken to over its real pipe.
#include "app/Exceptions.h"
#include "app/Text.h"
#include "identity/RunAsClient.h"
#include "support/FailureOf.h"
#include "support/FileFixtures.h"
#include "support/PolicyFixtures.h"
#include "support/SecurityFixtures.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

TEST(RunAsService, RecordsEachRequestAndRefusesWhenToldTo) {
    ScratchTree tree;
    std::wstring log = tree.path(L"runas.log");
    {
        PanelStandin standin("[runas]\nlog=" + text::toUtf8(log) + "\n");
        RunTime::RunAsClient client(RunTime::kRunAsPipeName);
        client.runAsUser(userSid());
        client.runAsUserImpersonated(everyoneSid());
        RevertToSelf();
    }
    {
        PanelStandin standin("[runas]\nlog=" + text::toUtf8(log) + "\nstatus=-1\ntext=No such account\n");
        RunTime::RunAsClient client(RunTime::kRunAsPipeName);
        EXPECT_STREQ(failureOf<std::runtime_error>([&] { client.runAsUser(userSid()); }).what(),
                     "No such account");
    }
    std::vector<std::string> lines = linesOf(log);
    ASSERT_EQ(lines.size(), 3u);
    std::string ids =
        " pid=" + std::to_string(GetCurrentProcessId()) + " tid=" + std::to_string(GetCurrentThreadId());
    // The level the service obtained (Wine 8 grants impersonation whatever quality of service the
    // client asked for; Windows would grant identification).
    const std::string level = " client=impersonation";
    EXPECT_EQ(lines[0], "kind=4 sid=S-1-5-21-7-8-9-1001" + ids + " reserved=zero impersonation=ok" + level);
    EXPECT_EQ(lines[1], "kind=5 sid=S-1-1-0" + ids + " reserved=zero impersonation=ok" + level);
    EXPECT_EQ(lines[2], "kind=4 sid=S-1-5-21-7-8-9-1001" + ids + " reserved=zero impersonation=skipped" + level);
}

TEST(RunAsService, AMalformedRequestClosesItsConnectionOnly) {
    ScratchTree tree;
    std::wstring log = tree.path(L"runas.log");
    PanelStandin standin("[runas]\nlog=" + text::toUtf8(log) + "\n");
    {
        Con::ClientPipe raw(RunTime::kRunAsPipeName, GENERIC_READ | GENERIC_WRITE, PIPE_READMODE_BYTE, 2);
        const uint32_t head[] = {2, 4, 400}; // wrong marker, SID length beyond any SID
        raw.write(head, sizeof head, true);
        char reply[8];
        EXPECT_EQ(raw.read(reply, sizeof reply, false), 0u); // closed without a reply
    }
    RunTime::RunAsClient client(RunTime::kRunAsPipeName);
    client.runAsUser(userSid());
    RevertToSelf();
    std::vector<std::string> lines = linesOf(log);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "malformed marker=2 kind=4 sidLength=400");
    EXPECT_EQ(lines[1].rfind("kind=4 sid=S-1-5-21-7-8-9-1001", 0), 0u);
}

} // namespace
