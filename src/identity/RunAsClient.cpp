#include "identity/RunAsClient.h"

#include "app/Exceptions.h"

#include <cstring>

namespace RunTime {
namespace {

constexpr uint32_t kMarker = 1;
constexpr uint32_t kBlockLength = 24;
// A broken connection found while writing the start of a request is reopened this many times.
constexpr int kReopenLimit = 3;

struct Block {
    uint32_t processId;
    uint32_t threadId;
    BYTE reserved[16];
};
static_assert(sizeof(Block) == kBlockLength);

void append(std::string& out, const void* data, size_t size) {
    out.append(static_cast<const char*>(data), size);
}

} // namespace

RunAsClient& RunAsClient::instance() {
    static RunAsClient client(kRunAsPipeName);
    return client;
}

std::string RunAsClient::encode(RunAsKind kind, const security::Sid& sid, DWORD processId, DWORD threadId) {
    std::string out;
    uint32_t values[] = {kMarker, static_cast<uint32_t>(kind), sid.length()};
    append(out, values, sizeof values);
    append(out, sid.get(), sid.length());
    Block block{processId, threadId, {}};
    append(out, &kBlockLength, sizeof kBlockLength);
    append(out, &block, sizeof block);
    return out;
}

void RunAsClient::open() {
    pipe_.reset();
    pipe_ = std::make_unique<Con::ClientPipe>(pipeName_, GENERIC_READ | GENERIC_WRITE, PIPE_READMODE_BYTE, 2);
}

bool RunAsClient::tryWrite(const void* data, DWORD size) {
    try {
        return pipe_->write(data, size, false) == size;
    } catch (const vexception&) {
        return false;
    }
}

void RunAsClient::write(const void* data, DWORD size) {
    if (pipe_->write(data, size, false) != size) raiseOsError(L"Unable to write to pipe", ERROR_BROKEN_PIPE);
}

void RunAsClient::read(void* data, DWORD size) {
    auto* p = static_cast<BYTE*>(data);
    for (DWORD done = 0; done < size;) {
        DWORD n = pipe_->read(p + done, size - done, false);
        if (n == 0) raisePlainError(L"Truncated reply of the run-as service");
        done += n;
    }
}

void RunAsClient::request(RunAsKind kind, const security::Sid& sid) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!pipe_ || !pipe_->isOpen() || pipe_->finished()) open();

    // The service may have restarted since the last request: the start of the request finds
    // out, and a new connection gets the whole request again, from the marker on.
    const uint32_t start[] = {kMarker, static_cast<uint32_t>(kind)};
    for (int reopened = 0;; ++reopened) {
        if (tryWrite(&start[0], 4) && tryWrite(&start[1], 4)) break;
        if (reopened == kReopenLimit) raiseOsError(L"Unable to write to pipe", ERROR_BROKEN_PIPE);
        open();
    }

    int32_t status = 0;
    std::wstring text;
    try {
        const uint32_t sidLength = sid.length();
        write(&sidLength, sizeof sidLength);
        write(sid.get(), sidLength);
        write(&kBlockLength, sizeof kBlockLength);
        Block block{GetCurrentProcessId(), GetCurrentThreadId(), {}};
        write(&block.processId, sizeof block.processId);
        write(&block.threadId, sizeof block.threadId);
        write(block.reserved, sizeof block.reserved);

        uint32_t length = 0;
        read(&status, sizeof status);
        read(&length, sizeof length);
        if (status != 0 && status != 2) {
            if (length > kMaxRunAsReplyText || length % 2 != 0)
                raisePlainError(format(L"Invalid reply of the run-as service: text of %d bytes", length));
            text.resize(length / 2);
            read(text.data(), length);
            while (!text.empty() && text.back() == L'\0')
                text.pop_back();
        }
    } catch (...) {
        // Whatever is left of this exchange on the pipe belongs to no later request.
        pipe_->close();
        throw;
    }
    if (status == -1) throwRunTimeError(0, text);
}

} // namespace RunTime
