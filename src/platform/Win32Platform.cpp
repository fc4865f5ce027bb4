#include "platform/Platform.h"

#include "platform/Handle.h"

#include <aclapi.h>
#include <lm.h>
#include <winternl.h>

namespace platform {
namespace {

// A failed call never reads as success, even when it left no error code behind.
DWORD lastErrorUnless(BOOL ok) {
    if (ok) return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

class Win32Platform : public Platform {
public:
    DWORD getFileAttributes(const std::wstring& path, DWORD* attributes) override {
        *attributes = GetFileAttributesW(path.c_str());
        return *attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
    }
    DWORD setFileAttributes(const std::wstring& path, DWORD attributes) override {
        return lastErrorUnless(SetFileAttributesW(path.c_str(), attributes));
    }
    DWORD getLongPathName(const std::wstring& path, wchar_t* buffer, DWORD size, DWORD* length) override {
        *length = GetLongPathNameW(path.c_str(), buffer, size);
        return *length == 0 ? GetLastError() : ERROR_SUCCESS;
    }
    DWORD getShortPathName(const std::wstring& path, wchar_t* buffer, DWORD size, DWORD* length) override {
        *length = GetShortPathNameW(path.c_str(), buffer, size);
        return *length == 0 ? GetLastError() : ERROR_SUCCESS;
    }
    DWORD getVolumeInformation(const std::wstring& root) override {
        return lastErrorUnless(GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0));
    }
    DWORD getDiskFreeSpace(const std::wstring& directory, ULONGLONG* availableToCaller,
                           ULONGLONG* total) override {
        ULARGE_INTEGER available{}, size{};
        BOOL done = GetDiskFreeSpaceExW(directory.c_str(), &available, &size, nullptr);
        *availableToCaller = available.QuadPart;
        *total = size.QuadPart;
        return lastErrorUnless(done);
    }
    DWORD findFirstFile(const std::wstring& pattern, WIN32_FIND_DATAW* data, HANDLE* find) override {
        *find = FindFirstFileW(pattern.c_str(), data);
        return *find == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    DWORD findNextFile(HANDLE find, WIN32_FIND_DATAW* data) override {
        return lastErrorUnless(FindNextFileW(find, data));
    }
    void findClose(HANDLE find) override { FindClose(find); }
    DWORD getCurrentDirectory(DWORD size, wchar_t* buffer, DWORD* length) override {
        *length = GetCurrentDirectoryW(size, buffer);
        return *length == 0 ? GetLastError() : ERROR_SUCCESS;
    }
    DWORD getTempPath(DWORD size, wchar_t* buffer, DWORD* length) override {
        *length = GetTempPathW(size, buffer);
        return *length == 0 ? GetLastError() : ERROR_SUCCESS;
    }
    DWORD getFullPathName(const std::wstring& path, DWORD size, wchar_t* buffer, DWORD* length) override {
        *length = GetFullPathNameW(path.c_str(), size, buffer, nullptr);
        return *length == 0 ? GetLastError() : ERROR_SUCCESS;
    }

    DWORD createFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                     HANDLE* handle) override {
        *handle = CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
        return *handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    DWORD createDirectory(const std::wstring& path, SECURITY_ATTRIBUTES* securityAttributes) override {
        return lastErrorUnless(CreateDirectoryW(path.c_str(), securityAttributes));
    }
    DWORD removeDirectory(const std::wstring& path) override {
        return lastErrorUnless(RemoveDirectoryW(path.c_str()));
    }
    DWORD deleteFile(const std::wstring& path) override { return lastErrorUnless(DeleteFileW(path.c_str())); }
    DWORD copyFile(const std::wstring& source, const std::wstring& destination, BOOL failIfExists) override {
        return lastErrorUnless(CopyFileW(source.c_str(), destination.c_str(), failIfExists));
    }
    DWORD moveFile(const std::wstring& source, const std::wstring& destination, DWORD flags) override {
        return lastErrorUnless(MoveFileExW(source.c_str(), destination.c_str(), flags));
    }
    DWORD createHardLink(const std::wstring& link, const std::wstring& existing) override {
        return lastErrorUnless(CreateHardLinkW(link.c_str(), existing.c_str(), nullptr));
    }
    DWORD deviceIoControl(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                          DWORD* returned) override {
        return lastErrorUnless(DeviceIoControl(handle, code, in, inSize, out, outSize, returned, nullptr));
    }
    DWORD fileIndex(HANDLE handle, LARGE_INTEGER* index) override {
        // Resolved at run time: the entry points are ntdll's, not part of the import libraries' promise.
        using Query = LONG(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, int);
        using ToDos = ULONG(NTAPI*)(LONG);
        static HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        static auto query = reinterpret_cast<Query>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")));
        static auto toDos = reinterpret_cast<ToDos>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
        if (!query || !toDos) return ERROR_PROC_NOT_FOUND;
        constexpr int kFileInternalInformation = 6;
        IO_STATUS_BLOCK status{};
        LONG result = query(handle, &status, index, sizeof *index, kFileInternalInformation);
        return result < 0 ? toDos(result) : ERROR_SUCCESS;
    }
    DWORD handleAttributes(HANDLE handle, DWORD* attributes) override {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(handle, &info)) return lastErrorUnless(FALSE);
        *attributes = info.dwFileAttributes;
        return ERROR_SUCCESS;
    }
    DWORD setFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                      const FILETIME* lastWrite) override {
        return lastErrorUnless(SetFileTime(file, creation, lastAccess, lastWrite));
    }
    DWORD getBinaryType(const std::wstring& path, DWORD* type) override {
        return lastErrorUnless(GetBinaryTypeW(path.c_str(), type));
    }

    DWORD getNamedSecurityInfo(const std::wstring& path, SECURITY_INFORMATION what, PSID* owner, PSID* group,
                               PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) override {
        return GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, what, owner, group, dacl, nullptr, descriptor);
    }
    DWORD setNamedSecurityInfo(const std::wstring& path, SECURITY_INFORMATION what, PSID owner, PSID group,
                               PACL dacl) override {
        return SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT, what, owner, group, dacl,
                                     nullptr);
    }

    DWORD getSecurityInfo(HANDLE handle, SECURITY_INFORMATION what, PSID* owner, PSID* group, PACL* dacl,
                          PSECURITY_DESCRIPTOR* descriptor) override {
        return GetSecurityInfo(handle, SE_FILE_OBJECT, what, owner, group, dacl, nullptr, descriptor);
    }
    DWORD setSecurityInfo(HANDLE handle, SECURITY_INFORMATION what, PSID owner, PSID group, PACL dacl) override {
        return SetSecurityInfo(handle, SE_FILE_OBJECT, what, owner, group, dacl, nullptr);
    }

    DWORD accountDomain(std::vector<BYTE>* sid, std::wstring* name) override {
        USER_MODALS_INFO_2* info = nullptr;
        NET_API_STATUS status = NetUserModalsGet(nullptr, 2, reinterpret_cast<BYTE**>(&info));
        if (status != NERR_Success) return status;
        if (info->usrmod2_domain_id && IsValidSid(info->usrmod2_domain_id)) {
            auto* p = static_cast<BYTE*>(info->usrmod2_domain_id);
            sid->assign(p, p + GetLengthSid(info->usrmod2_domain_id));
        }
        *name = info->usrmod2_domain_name ? info->usrmod2_domain_name : L"";
        NetApiBufferFree(info);
        return ERROR_SUCCESS;
    }

    DWORD lookupAccountSid(PSID sid, wchar_t* name, DWORD* nameSize, wchar_t* domain, DWORD* domainSize,
                           SID_NAME_USE* use) override {
        return lastErrorUnless(LookupAccountSidW(nullptr, sid, name, nameSize, domain, domainSize, use));
    }
    DWORD lookupAccountName(const std::wstring& account, PSID sid, DWORD* sidSize, wchar_t* domain,
                            DWORD* domainSize, SID_NAME_USE* use) override {
        return lastErrorUnless(LookupAccountNameW(nullptr, account.c_str(), sid, sidSize, domain, domainSize, use));
    }

    DWORD computerName(std::wstring* name) override {
        wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
        if (!GetComputerNameW(buffer, &size)) return GetLastError();
        name->assign(buffer, size);
        return ERROR_SUCCESS;
    }
    DWORD userFullName(const std::wstring& server, const std::wstring& user, std::wstring* fullName) override {
        USER_INFO_2* info = nullptr;
        NET_API_STATUS status = NetUserGetInfo(server.empty() ? nullptr : server.c_str(), user.c_str(), 2,
                                               reinterpret_cast<BYTE**>(&info));
        if (status != NERR_Success) return status;
        *fullName = info->usri2_full_name ? info->usri2_full_name : L"";
        NetApiBufferFree(info);
        return ERROR_SUCCESS;
    }

    DWORD openProcessToken(DWORD access, HANDLE* token) override {
        return lastErrorUnless(OpenProcessToken(GetCurrentProcess(), access, token));
    }
    DWORD openThreadToken(DWORD access, BOOL openAsSelf, HANDLE* token) override {
        return lastErrorUnless(OpenThreadToken(GetCurrentThread(), access, openAsSelf, token));
    }
    DWORD getTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, void* buffer, DWORD size,
                              DWORD* needed) override {
        return lastErrorUnless(GetTokenInformation(token, cls, buffer, size, needed));
    }
    DWORD adjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* privileges) override {
        if (!AdjustTokenPrivileges(token, FALSE, privileges, 0, nullptr, nullptr)) return GetLastError();
        return GetLastError(); // ERROR_NOT_ALL_ASSIGNED when a privilege is not held
    }
    DWORD impersonateLoggedOnUser(HANDLE token) override { return lastErrorUnless(ImpersonateLoggedOnUser(token)); }
    DWORD revertToSelf() override { return lastErrorUnless(RevertToSelf()); }
    DWORD accessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD desired, GENERIC_MAPPING* mapping,
                      PRIVILEGE_SET* privileges, DWORD* privilegesSize, DWORD* granted, BOOL* status) override {
        return lastErrorUnless(
            AccessCheck(descriptor, token, desired, mapping, privileges, privilegesSize, granted, status));
    }

    DWORD createProcess(std::wstring& commandLine, BOOL inheritHandles, DWORD flags, const std::wstring& directory,
                        STARTUPINFOW* startup, PROCESS_INFORMATION* info) override {
        return lastErrorUnless(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inheritHandles, flags,
                                              nullptr, directory.c_str(), startup, info));
    }
    DWORD createProcessAsUser(HANDLE token, std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                              const std::wstring& directory, STARTUPINFOW* startup,
                              PROCESS_INFORMATION* info) override {
        return lastErrorUnless(CreateProcessAsUserW(token, nullptr, commandLine.data(), nullptr, nullptr,
                                                    inheritHandles, flags, nullptr, directory.c_str(), startup, info));
    }
    DWORD createProcessWithToken(HANDLE token, DWORD logonFlags, std::wstring& commandLine, DWORD flags,
                                 const std::wstring& directory, STARTUPINFOW* startup,
                                 PROCESS_INFORMATION* info) override {
        return lastErrorUnless(CreateProcessWithTokenW(token, logonFlags, nullptr, commandLine.data(), flags, nullptr,
                                                       directory.c_str(), startup, info));
    }
};

Platform* installed = nullptr;

} // namespace

Platform& win32() {
    static Win32Platform instance;
    return instance;
}

Platform& current() { return installed ? *installed : win32(); }

Platform* install(Platform* substitute) { return std::exchange(installed, substitute); }

} // namespace platform
