#include "app/Exceptions.h"
#include "ipc/Serializer.h"
#include "ipc/TarnisSrvClient.h"
#include "ipc/TarnisSrvProtocol.h"
#include "support/Standin.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using testsupport::PanelStandin;

const char* const kSettings = "# test settings\r\n"
                              "[strings]\r\n"
                              "HTTPD_VHOSTS_D=C:\\inetpub\\vhosts\r\n"
                              "CATALINA_HOME=\n"
                              "MYSQL_DSN=host=db;port=3306\n"
                              "\n"
                              "[ext:MultiArc\\zip]\n"
                              "unpack=zip.exe x %s\n"
                              "[passwords]\n"
                              "pwd=setup\n"
                              "[components]\n"
                              "frontpage:2=C:\\Program Files\\FrontPage\n"
                              "[strings]\n"
                              "CAF\xC3\x89=caf\xC3\xA9\n";

template <class F> vexception failureOf(F&& f) {
    try {
        f();
    } catch (const vexception& e) {
        return e;
    }
    throw std::logic_error("no failure");
}

// A client that speaks raw messages to the stand-in.
struct RawClient {
    Con::ClientOverlappedPipe pipe{tarnissrv::kPipeName, GENERIC_READ | GENERIC_WRITE, PIPE_READMODE_MESSAGE, 5};
    void send(const std::string& message) { pipe.write(message.data(), static_cast<DWORD>(message.size()), true); }
    std::string receive() {
        std::string buffer(65536, '\0');
        buffer.resize(pipe.read(buffer.data(), static_cast<DWORD>(buffer.size()), false));
        return buffer;
    }
    // The answer block (length message, then the block message).
    std::string answer() {
        std::string length = receive();
        if (length.size() != 4 || length == std::string(4, '\0')) return "";
        return receive();
    }
};

std::string le32(uint32_t v) { return vserializer::writer().putRaw32(v).bytes(); }
std::wstring decode(const std::string& block) {
    try {
        return vserializer::reader(block).readText();
    } catch (const vexception& e) {
        return L"error: " + e.message();
    }
}

TEST(PanelStandin, AnswersAllOperationsFromTheSettingsFile) {
    PanelStandin standin(kSettings);
    TarnisSrvClient client(tarnissrv::kPipeName);
    EXPECT_EQ(client.getString(L"HTTPD_VHOSTS_D"), L"C:\\inetpub\\vhosts");
    EXPECT_EQ(client.getString(L"CATALINA_HOME"), L"");
    EXPECT_EQ(client.getString(L"MYSQL_DSN"), L"host=db;port=3306");
    EXPECT_EQ(client.getString(L"CAF\u00C9"), L"caf\u00E9");
    EXPECT_EQ(client.getExtString(L"MultiArc\\zip", L"unpack"), L"zip.exe x %s");
    EXPECT_EQ(client.componentInfo(L"frontpage", 2), L"C:\\Program Files\\FrontPage");
    EXPECT_EQ(client.getPassword(L"pwd"), L"setup");

    // A second client connects while the first stays connected and idle.
    TarnisSrvClient other(tarnissrv::kPipeName);
    other.setPassword(L"pwd", L"changed");
    EXPECT_EQ(client.getPassword(L"pwd"), L"changed");
    other.setPassword(L"new", L"p\u00E4ss");
    EXPECT_EQ(other.getPassword(L"new"), L"p\u00E4ss");

    vexception unknown = failureOf([&] { client.getString(L"NOPE"); });
    EXPECT_EQ(unknown.message(), L"Unknown setting NOPE");
    EXPECT_EQ(unknown.contexts().back().message, L"getString(NOPE)");
    EXPECT_EQ(failureOf([&] { client.getExtString(L"MultiArc\\zip", L"list"); }).message(),
              L"Unknown extended setting list in section MultiArc\\zip");
    EXPECT_EQ(failureOf([&] { client.componentInfo(L"frontpage", 3); }).message(),
              L"Unknown component information frontpage:3");
    EXPECT_EQ(client.getString(L"HTTPD_VHOSTS_D"), L"C:\\inetpub\\vhosts"); // still served
}

TEST(PanelStandin, SurvivesMalformedRequestsAndKeepsServingOthers) {
    PanelStandin standin(kSettings);
    TarnisSrvClient good(tarnissrv::kPipeName);
    EXPECT_EQ(good.getPassword(L"pwd"), L"setup");

    std::string getString = vserializer::writer().putGuid(tarnissrv::kGetString).putText(L"CATALINA_HOME").bytes();
    {
        RawClient garbage;
        garbage.send("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A");
        EXPECT_EQ(decode(garbage.answer()), L"error: Malformed request: a length message of 10 bytes");
        EXPECT_EQ(garbage.receive(), ""); // the connection is closed
        EXPECT_TRUE(garbage.pipe.finished());
    }
    {
        RawClient wrongLength;
        wrongLength.send(le32(100));
        wrongLength.send(getString);
        EXPECT_EQ(decode(wrongLength.answer()),
                  format(L"error: Malformed request: 100 bytes announced, %d received", getString.size()));
    }
    {
        RawClient huge;
        huge.send(le32(0x7FFFFFFF));
        EXPECT_EQ(decode(huge.answer()), L"error: Malformed request: length 2147483647 is too large");
    }
    {
        RawClient unknownOperation;
        GUID id{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
        std::string request = vserializer::writer().putGuid(id).putText(L"X").bytes();
        unknownOperation.send(le32(static_cast<uint32_t>(request.size())));
        unknownOperation.send(request);
        EXPECT_EQ(decode(unknownOperation.answer()), L"error: Unknown operation {12345678-1234-1234-0102-030405060708}");
        // A well-framed request that makes no sense leaves the connection usable.
        std::string truncated = getString.substr(0, getString.size() - 3);
        unknownOperation.send(le32(static_cast<uint32_t>(truncated.size())));
        unknownOperation.send(truncated);
        EXPECT_EQ(decode(unknownOperation.answer()), L"error: Unexpected end of data when read from serializer.");
        unknownOperation.send(le32(static_cast<uint32_t>(getString.size())));
        unknownOperation.send(getString);
        EXPECT_EQ(decode(unknownOperation.answer()), L"");
    }
    { RawClient leavesAtOnce; }
    // The first client, idle all along, is still served on its connection.
    EXPECT_EQ(good.getString(L"MYSQL_DSN"), L"host=db;port=3306");
}

TEST(PanelStandin, StopsOnRequestWithExitCodeZero) {
    std::wstring program = testsupport::builtProgram(L"panel-standin.exe");
    {
        PanelStandin standin(kSettings);
        TarnisSrvClient idle(tarnissrv::kPipeName); // a connected client does not hold it up
        standin.stop();                             // fails the test unless --stop gives 0 and it ends
        EXPECT_FALSE(WaitNamedPipeW(tarnissrv::kPipeName, 10));
    }
    testsupport::ServicePipeLock lock;
    EXPECT_EQ(testsupport::runProgram(program, {L"--stop"}).exitCode, 0u); // nothing running
    EXPECT_EQ(testsupport::runProgram(program, {L"C:\\no\\such\\settings.ini"}).exitCode, 1u);
    EXPECT_EQ(testsupport::runProgram(program, {}).exitCode, 1u);
}

} // namespace
