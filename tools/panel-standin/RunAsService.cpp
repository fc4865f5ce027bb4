#include "RunAsService.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Handle.h"
#include "security/Sid.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace standin {
namespace {

constexpr uint32_t kMaxSidLength = SECURITY_MAX_SID_SIZE;
constexpr uint32_t kBlockLength = 24;

// Reads exactly `size` bytes from a byte-mode pipe; false when the client went before.
bool readExact(Connection& connection, void* buffer, DWORD size) {
    auto* p = static_cast<BYTE*>(buffer);
    for (DWORD done = 0; done < size;) {
        std::optional<DWORD> got = connection.read(p + done, size - done);
        if (!got || *got == 0) return false;
        done += *got;
    }
    return true;
}

// Puts an impersonation token of this process's account on the thread `threadId` of process
// `processId`; the result for the log: "ok" or "failed (CODE)".
std::wstring impersonate(DWORD processId, DWORD threadId) {
    // Wine asks for THREAD_SET_INFORMATION where Windows asks for THREAD_SET_THREAD_TOKEN.
    platform::Handle thread(
        OpenThread(THREAD_SET_THREAD_TOKEN | THREAD_SET_INFORMATION | THREAD_QUERY_LIMITED_INFORMATION, FALSE,
                   threadId));
    if (!thread) return format(L"failed (OpenThread %d)", GetLastError());
    // Only a thread of the process that asked.
    if (GetProcessIdOfThread(thread.get()) != processId) return L"failed (thread of another process)";
    platform::Handle own, duplicate;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, own.receive()) ||
        !DuplicateTokenEx(own.get(), TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation,
                          TokenImpersonation, duplicate.receive()))
        return format(L"failed (DuplicateTokenEx %d)", GetLastError());
    HANDLE target = thread.get();
    if (!SetThreadToken(&target, duplicate.get()))
        return format(L"failed (SetThreadToken %d)", GetLastError());
    return L"ok";
}

} // namespace

RunAsService::RunAsService(const Settings& settings) {
    auto value = [&](const wchar_t* name) {
        auto it = settings.runas.find(name);
        return it == settings.runas.end() ? std::wstring() : it->second;
    };
    log_ = value(L"log");
    text_ = value(L"text");
    std::wstring status = value(L"status");
    if (!status.empty()) status_ = static_cast<int32_t>(std::wcstol(status.c_str(), nullptr, 10));
    switches_ = value(L"switch") != L"no";
}

void RunAsService::record(const std::wstring& line) {
    if (log_.empty()) return;
    std::lock_guard<std::mutex> hold(lock_);
    platform::FileHandle file(CreateFileW(log_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!file)
        raiseOsError(L"Unable to open the run-as log " + log_, GetLastError(),
                     {L"", "standin::RunAsService::record", __LINE__});
    std::string bytes = text::toUtf8(line + L"\n");
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void RunAsService::serve(Connection& connection) {
    for (;;) {
        uint32_t head[3] = {}; // marker, kind, SID length
        if (!readExact(connection, head, sizeof head)) return;
        if (head[0] != 1 || head[2] < 8 || head[2] > kMaxSidLength) {
            record(format(L"malformed marker=%d kind=%d sidLength=%d", head[0], head[1], head[2]));
            return;
        }
        std::vector<BYTE> sid(head[2]);
        uint32_t blockLength = 0;
        if (!readExact(connection, sid.data(), head[2]) || !readExact(connection, &blockLength, 4)) return;
        if (!IsValidSid(sid.data()) || GetLengthSid(sid.data()) != head[2] || blockLength != kBlockLength) {
            record(format(L"malformed kind=%d sidLength=%d block=%d", head[1], head[2], blockLength));
            return;
        }
        uint32_t block[6] = {}; // process id, thread id, 16 reserved bytes
        if (!readExact(connection, block, sizeof block)) return;
        bool reservedZero = block[2] == 0 && block[3] == 0 && block[4] == 0 && block[5] == 0;

        std::wstring impersonation = status_ == -1 ? L"skipped"
                                     : switches_   ? impersonate(block[0], block[1])
                                                   : L"withheld";
        record(format(L"kind=%d sid=%s pid=%d tid=%d reserved=%s impersonation=%s client=%s", head[1],
                      security::Sid(sid.data()).toString(), block[0], block[1],
                      reservedZero ? L"zero" : L"set", impersonation, connection.clientImpersonationLevel()));

        std::string reply(8, '\0');
        std::memcpy(reply.data(), &status_, 4);
        if (status_ != 0 && status_ != 2) {
            uint32_t length = static_cast<uint32_t>(text_.size() * 2);
            std::memcpy(reply.data() + 4, &length, 4);
            reply.append(reinterpret_cast<const char*>(text_.data()), length);
        }
        if (!connection.write(reply.data(), static_cast<DWORD>(reply.size()))) return;
    }
}

} // namespace standin
