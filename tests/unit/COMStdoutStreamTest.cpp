#include "app/Exceptions.h"
#include "platform/Handle.h"
#include "xml/COMStdoutStream.h"
#include "xml/Msxml.h"

#include <gtest/gtest.h>

namespace {

// Points the process's standard output at a pipe for the test's duration.
class StdoutPipe {
public:
    StdoutPipe() {
        CreatePipe(read_.receive(), write_.receive(), nullptr, 1 << 16);
        old_ = GetStdHandle(STD_OUTPUT_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, write_.get());
    }
    ~StdoutPipe() { SetStdHandle(STD_OUTPUT_HANDLE, old_); }
    std::string drain() {
        write_.reset();
        SetStdHandle(STD_OUTPUT_HANDLE, old_);
        std::string out;
        char buffer[512];
        DWORD n = 0;
        while (ReadFile(read_.get(), buffer, sizeof buffer, &n, nullptr) && n) out.append(buffer, n);
        return out;
    }

private:
    platform::Handle read_, write_;
    HANDLE old_;
};

TEST(COMStdoutStream, WritesBytesUnchangedAndCountsReferences) {
    com::Ptr<IStream> stream;
    *stream.receive() = COMStdoutStream::create();
    StdoutPipe pipe;
    ULONG written = 0;
    const char bytes[] = "a\nb\r\n\xC3\xA9";
    EXPECT_EQ(stream->Write(bytes, sizeof bytes - 1, &written), S_OK);
    EXPECT_EQ(written, sizeof bytes - 1);
    EXPECT_EQ(pipe.drain(), std::string(bytes));

    ISequentialStream* sequential = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&sequential)), S_OK);
    EXPECT_EQ(sequential->Release(), 1u);
    EXPECT_EQ(stream->Read(nullptr, 0, nullptr), E_NOTIMPL);
}

// The writer calls Write from its own frames: the failure comes back as an HRESULT and is raised
// by the writer's caller.
TEST(COMStdoutStream, FailedWriteAnswersAnHresultAndKeepsTheFailure) {
    com::Ptr<COMStdoutStream> stream;
    *stream.receive() = COMStdoutStream::create();
    HANDLE old = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, INVALID_HANDLE_VALUE);
    HRESULT hr = stream->Write("x", 1, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, old);
    EXPECT_EQ(hr, STG_E_CANTSAVE);
    try {
        stream->raiseFailure();
        ADD_FAILURE() << "no failure";
    } catch (const vosexception& e) {
        EXPECT_NE(e.message().find(L"at Unable to write into stdout"), std::wstring::npos);
        EXPECT_EQ(e.contexts().at(0).origin, "COMStdoutStream::Write");
        EXPECT_EQ(e.contexts().at(0).line, 100);
    }
}

} // namespace
