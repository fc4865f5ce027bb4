#include "identity/IdentitySwitch.h"

#include "app/Text.h"
#include "identity/RunAsClient.h"
#include "support/InProcess.h"
#include "support/PolicyFixtures.h"
#include "support/ScriptedRunAs.h"
#include "support/SecurityFixtures.h"
#include "support/Standin.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace {

using namespace testsupport;

const security::Sid kDomain = security::Sid::fromString(L"S-1-5-21-7-8-9");

// file_exists of a site file as one account or another, with the run-as stand-in recording
// the requests it receives.
class IdentitySwitch : public ::testing::Test {
protected:
    // The temporary folder counts as allowed: it is moved into the virtual-hosts root here.
    IdentitySwitch()
        : platform(substitute), scoped(settings), tmp(L"tmp", std::nullopt), temp(L"temp", std::nullopt) {
        substitute.setTempPath(tree.path(L"vhosts\\"));
        tree.file(L"vhosts\\site\\index.html", "<html/>");
        tree.file(L"outside\\secret.txt");
        settings.strings = {{L"PRODUCT_ROOT_D", tree.path(L"product")},
                            {L"HTTPD_VHOSTS_D", tree.path(L"vhosts")}};
        substitute.setAccountDomain(kDomain, L"WEB01");
        substitute.addAccount({L"WEB01", L"alice", userSid()});
        substitute.addAccount({L"WEB01", L"tnaadm", security::Sid::withRid(kDomain, 1010)});
        substitute.addAccount({L"WEB01", L"Tarnis Administrator", security::Sid::withRid(kDomain, 1011)});
        log = tree.path(L"runas.log");
        // The stand-in can only hand out a token Wine has; the substitute reads it as alice's.
        substitute.setThreadToken(tokenOf(userSid()));
    }
    static SubstituteToken tokenOf(const security::Sid& user, std::vector<SubstituteGroup> groups = {}) {
        return {user, std::move(groups), {}, {}};
    }
    void startStandin(const std::string& extra = "") {
        standin = std::make_unique<PanelStandin>("[runas]\nlog=" + text::toUtf8(log) + "\n" + extra);
    }
    InProcessResult fileExists(const std::wstring& account,
                               const std::wstring& relative = L"vhosts\\site\\index.html") {
        InProcessResult r = runInProcess({account, L"file_exists", tree.path(relative)});
        HANDLE token = nullptr;
        threadToken = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
        if (token) CloseHandle(token);
        RevertToSelf(); // the stand-in may have given this thread a token
        return r;
    }
    // The request lines the stand-in recorded.
    std::vector<std::string> requests() {
        std::ifstream in(text::toUtf8(log));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    static std::string requestPrefix(int kind, const security::Sid& sid) {
        return "kind=" + std::to_string(kind) + " sid=" + text::toUtf8(sid.toString()) +
               " pid=" + std::to_string(GetCurrentProcessId()) +
               " tid=" + std::to_string(GetCurrentThreadId()) + " reserved=zero impersonation=";
    }
    // The level the stand-in obtained on the connection. Windows grants identification to a
    // client that connects as this program does; Wine 8 ignores the quality of service and
    // grants impersonation whatever the client asked, so the level is recorded here as Wine gives it.
    static constexpr const char* kClientLevel = " client=impersonation";

    ScratchTree tree;
    SubstitutePlatform substitute;
    ScopedPlatform platform;
    FixedSettings settings;
    ScopedSettings scoped;
    ScopedEnvironment tmp, temp;
    std::wstring log;
    std::unique_ptr<PanelStandin> standin;
    bool threadToken = false; // the command's thread ended with a token of its own
};

TEST_F(IdentitySwitch, RootAndPopuserInAnyCaseNeedNoLookupAndNoRequest) {
    // Without the run-as service a request would fail the command.
    for (const wchar_t* account : {L"ROOT", L"root", L"PopUser", L"POPUSER"}) {
        InProcessResult r = fileExists(account);
        EXPECT_EQ(r.out, "0\n") << text::toUtf8(account);
        EXPECT_EQ(r.exitCode, 0);
    }
    EXPECT_EQ(substitute.calls(Call::lookupAccountName), 0);
}

TEST_F(IdentitySwitch, AnAdministratorTargetingAnAdministrativeAccountSendsNoRequest) {
    for (const wchar_t* account : {L"tnaadm", L"Administrators"}) {
        InProcessResult r = fileExists(account);
        EXPECT_EQ(r.out, "0\n") << text::toUtf8(account);
    }
}

TEST_F(IdentitySwitch, TheTargetAccountIsRequestedBetweenPrepareAndExecute) {
    startStandin();
    InProcessResult r = fileExists(L"alice");
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> lines = requests();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], requestPrefix(5, userSid()) + "ok" + kClientLevel);
    EXPECT_TRUE(threadToken); // the service put the thread into another context
}

TEST_F(IdentitySwitch, APrepareThatFailsSendsNoRequest) {
    startStandin();
    InProcessResult r = fileExists(L"alice", L"outside\\secret.txt");
    EXPECT_NE(r.out.find("ErrorCode=\"path_is_not_allowed\""), std::string::npos) << r.out;
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(requests().empty());
}

TEST_F(IdentitySwitch, ARefusalEndsTheCommandBeforeExecute) {
    startStandin("status=-1\ntext=Unable to log on alice: the account is locked\n");
    InProcessResult r = fileExists(L"alice");
    EXPECT_EQ(r.out, "Unable to log on alice: the account is locked"); // and no "0" of file_exists
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(requests().size(), 1u);
}

TEST_F(IdentitySwitch, BrokenRepliesEndTheCommandBeforeExecute) {
    ServicePipeLock lock; // the service's pipe name is this test's alone
    const size_t request = ScriptedRunAs::requestSize(userSid().length());
    ScriptedRunAs service(RunTime::kRunAsPipeName, {[&](Con::ServerPipe& pipe) {
                                                        ScriptedRunAs::readBytes(pipe, request);
                                                        ScriptedRunAs::reply(pipe, -1, L"cut", 40);
                                                    },
                                                    [&](Con::ServerPipe& pipe) {
                                                        ScriptedRunAs::readBytes(pipe, request);
                                                        ScriptedRunAs::reply(pipe, 1, L"", 0x10000000);
                                                    }});
    InProcessResult r = fileExists(L"alice");
    EXPECT_EQ(r.out, "Truncated reply of the run-as service");
    EXPECT_EQ(r.exitCode, 1);
    r = fileExists(L"alice");
    EXPECT_EQ(r.out, "Invalid reply of the run-as service: text of 268435456 bytes");
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(IdentitySwitch, AProcessThatIsNoAdministratorBecomesTheBuiltInAdministratorFirst) {
    substitute.setToken({userSid(), {{everyoneSid()}}, {}, {}});
    // One token for both switches: it passes for the Administrator's (the group enabled) and for alice's.
    substitute.setThreadToken(tokenOf(userSid(), {{security::administratorsGroup()}}));
    startStandin();
    InProcessResult r = fileExists(L"alice");
    EXPECT_EQ(r.out, "0\n");
    std::vector<std::string> lines = requests();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(requestPrefix(5, security::Sid::withRid(kDomain, 500)), 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind(requestPrefix(5, userSid()), 0), 0u) << lines[1];
}

TEST_F(IdentitySwitch, ASuccessWithoutASwitchNeverReachesExecute) {
    // The service answers success and leaves the thread as it was: the program's own rights.
    startStandin("switch=no\n");
    const std::string message =
        "The run-as service reported a switch to S-1-5-21-7-8-9-1001, but the thread does not run as it";
    // A classic command ends with the message (and no file contents).
    InProcessResult r = runInProcess({L"alice", L"cat", tree.path(L"vhosts\\site\\index.html")});
    RevertToSelf();
    EXPECT_EQ(r.out, message);
    EXPECT_EQ(r.exitCode, 1);
    std::vector<std::string> lines = requests();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" sid=S-1-5-21-7-8-9-1001 "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(std::string(" impersonation=withheld") + kClientLevel), std::string::npos) << lines[0];

    // An XML command reports it as its error document, and its operation does not run.
    std::wstring folder = tree.path(L"vhosts\\site\\made");
    r = runInProcess({L"alice", L"--ex-create-directory", L"--path=" + folder});
    RevertToSelf();
    EXPECT_NE(r.out.find("<XmlError Error=\"" + message + "\""), std::string::npos) << r.out;
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    r = fileExists(L"alice");
    EXPECT_EQ(r.out.find("0\n"), std::string::npos) << r.out;
}

TEST_F(IdentitySwitch, OnlyATokenThatActsAsTheAccountLetsExecuteRun) {
    const security::Sid group = security::Sid::withRid(kDomain, 1200);
    substitute.addAccount({L"WEB01", L"webusers", group, SidTypeGroup});
    startStandin();
    struct Case {
        const char* what;
        const wchar_t* account;
        SubstituteToken token;
        bool runs;
    };
    const std::vector<Case> cases = {
        {"the account's own token", L"alice", tokenOf(userSid()), true},
        {"another account's token", L"alice", tokenOf(otherUserSid()), false},
        {"the group enabled", L"webusers", tokenOf(otherUserSid(), {{group}}), true},
        {"the group for deny only", L"webusers",
         tokenOf(otherUserSid(), {{group, SE_GROUP_USE_FOR_DENY_ONLY | SE_GROUP_MANDATORY}}), false},
        {"the group disabled", L"webusers", tokenOf(otherUserSid(), {{group, SE_GROUP_MANDATORY}}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        substitute.setThreadToken(c.token);
        InProcessResult r = fileExists(c.account);
        EXPECT_EQ(r.out == "0\n", c.runs) << r.out;
        EXPECT_EQ(r.out.find("<XmlError Error=\"The run-as service reported a switch") == 0, !c.runs) << r.out;
    }
}

TEST_F(IdentitySwitch, AnAdministratorSwitchThatDidNotHappenStopsBeforePrepare) {
    substitute.setToken({userSid(), {{everyoneSid()}}, {}, {}});
    startStandin("switch=no\n");
    InProcessResult r = fileExists(L"alice");
    EXPECT_EQ(r.out.rfind("<XmlError Error=\"The run-as service reported a switch to S-1-5-21-7-8-9-500,", 0), 0u)
        << r.out;
    EXPECT_EQ(requests().size(), 1u); // nothing asked for alice
}

TEST_F(IdentitySwitch, UnknownAccountsEndBeforeAnyCommandRuns) {
    startStandin();
    InProcessResult r = fileExists(L"nobody-4711");
    EXPECT_EQ(r.out.rfind("Unable to lookup SID for name nobody-4711: (1332) ", 0), 0u) << r.out;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(requests().empty());
}

TEST_F(IdentitySwitch, AMissingPanelAdministratorAccountIsALookupError) {
    SubstitutePlatform bare; // alice known, tnaadm not
    bare.setAccountDomain(kDomain, L"WEB01");
    bare.addAccount({L"WEB01", L"alice", userSid()});
    ScopedPlatform use(bare);
    startStandin();
    InProcessResult r = fileExists(L"alice");
    EXPECT_EQ(r.out.rfind("Unable to lookup SID for name tnaadm: (1332) ", 0), 0u) << r.out;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(requests().empty());
}

} // namespace

namespace {

// A command whose steps only count; the run-as script looks at them when the request arrives.
class Probe : public RunTime::RunAsUser {
public:
    int start(int, wchar_t**) override { return 0; }
    void prepare() override { ++prepared; }
    void execute() override { ++executed; }
    std::atomic<int> prepared{0}, executed{0};
};

TEST(IdentitySwitchOrder, TheRequestComesBetweenPrepareAndExecute) {
    SubstitutePlatform substitute;
    ScopedPlatform platform(substitute);
    substitute.setAccountDomain(kDomain, L"WEB01");
    substitute.addAccount({L"WEB01", L"alice", userSid()});
    substitute.addAccount({L"WEB01", L"tnaadm", security::Sid::withRid(kDomain, 1010)});
    substitute.addAccount({L"WEB01", L"Tarnis Administrator", security::Sid::withRid(kDomain, 1011)});
    Probe command;
    command.setRunAsFlag(false); // cleared by the command: the plain kind
    ServicePipeLock lock;
    std::string request;
    int preparedThen = -1, executedThen = -1;
    {
        ScriptedRunAs service(RunTime::kRunAsPipeName, {[&](Con::ServerPipe& pipe) {
                                  request = ScriptedRunAs::readBytes(pipe, ScriptedRunAs::requestSize(28));
                                  preparedThen = command.prepared;
                                  executedThen = command.executed;
                                  ScriptedRunAs::switchRequester(request);
                                  ScriptedRunAs::reply(pipe, 0, L"");
                              }});
        substitute.setThreadToken(SubstituteToken{userSid(), {}, {}, {}});
        identity::switchIdentity(command, userSid());
        RevertToSelf();
    }
    EXPECT_EQ(preparedThen, 1);
    EXPECT_EQ(executedThen, 0);
    EXPECT_EQ(command.executed, 1);
    ASSERT_EQ(request.size(), ScriptedRunAs::requestSize(28));
    EXPECT_EQ(request[4], 4); // runAsUser
    EXPECT_EQ(command.targetName, L"alice");
    EXPECT_EQ(command.targetDomain, L"WEB01");
}

} // namespace
