// The platform seam: every Win32 call for the file system, file security, accounts and tokens
// goes through this interface. Calls mirror the Win32 functions (same arguments) and return the
// Win32 error (ERROR_SUCCESS on success) instead of a BOOL plus GetLastError.
// Production uses the thin pass-through `win32()`; tests install a substitute with `install`.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

namespace platform {

class Platform {
public:
    virtual ~Platform() = default;

    // --- files
    virtual DWORD getFileAttributes(const std::wstring& path, DWORD* attributes) = 0;
    virtual DWORD setFileAttributes(const std::wstring& path, DWORD attributes) = 0;
    // GetLongPathNameW: *length receives the call's result (0 on failure).
    virtual DWORD getLongPathName(const std::wstring& path, wchar_t* buffer, DWORD size, DWORD* length) = 0;
    virtual DWORD getShortPathName(const std::wstring& path, wchar_t* buffer, DWORD size, DWORD* length) = 0;
    virtual DWORD getVolumeInformation(const std::wstring& root) = 0;
    // GetDiskFreeSpaceExW: the bytes free to the calling account (its quota counts) and the size.
    virtual DWORD getDiskFreeSpace(const std::wstring& directory, ULONGLONG* availableToCaller,
                                   ULONGLONG* total) = 0;
    virtual DWORD findFirstFile(const std::wstring& pattern, WIN32_FIND_DATAW* data, HANDLE* find) = 0;
    virtual DWORD findNextFile(HANDLE find, WIN32_FIND_DATAW* data) = 0;
    virtual void findClose(HANDLE find) = 0;
    // GetCurrentDirectoryW / GetTempPathW: *length receives the call's result (0 on failure).
    virtual DWORD getCurrentDirectory(DWORD size, wchar_t* buffer, DWORD* length) = 0;
    virtual DWORD getTempPath(DWORD size, wchar_t* buffer, DWORD* length) = 0;
    // GetFullPathNameW (no file part): *length receives the call's result (0 on failure).
    virtual DWORD getFullPathName(const std::wstring& path, DWORD size, wchar_t* buffer, DWORD* length) = 0;

    // --- files: creation, copy, move, removal, links (CreateFileW and the like)
    virtual DWORD createFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                             HANDLE* handle) = 0;
    virtual DWORD createDirectory(const std::wstring& path, SECURITY_ATTRIBUTES* securityAttributes) = 0;
    virtual DWORD removeDirectory(const std::wstring& path) = 0;
    virtual DWORD deleteFile(const std::wstring& path) = 0;
    virtual DWORD copyFile(const std::wstring& source, const std::wstring& destination, BOOL failIfExists) = 0;
    virtual DWORD moveFile(const std::wstring& source, const std::wstring& destination, DWORD flags) = 0;
    // CreateHardLinkW: `link` is the new name of `existing`.
    virtual DWORD createHardLink(const std::wstring& link, const std::wstring& existing) = 0;
    // DeviceIoControl without overlapped I/O (reparse points: FSCTL_GET/SET_REPARSE_POINT).
    virtual DWORD deviceIoControl(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                                  DWORD* returned) = 0;
    // The file system's index of an open file (NtQueryInformationFile, FileInternalInformation),
    // the status turned into a Win32 code.
    virtual DWORD fileIndex(HANDLE handle, LARGE_INTEGER* index) = 0;
    // The attributes of an open file (GetFileInformationByHandle): for a handle opened with
    // FILE_FLAG_OPEN_REPARSE_POINT, those of the reparse point itself.
    virtual DWORD handleAttributes(HANDLE handle, DWORD* attributes) = 0;

    // --- file times and types
    virtual DWORD setFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                              const FILETIME* lastWrite) = 0;
    // GetBinaryTypeW: *type receives the SCS_* kind.
    virtual DWORD getBinaryType(const std::wstring& path, DWORD* type) = 0;

    // --- file security (GetNamedSecurityInfoW / SetNamedSecurityInfoW on SE_FILE_OBJECT)
    virtual DWORD getNamedSecurityInfo(const std::wstring& path, SECURITY_INFORMATION what, PSID* owner,
                                       PSID* group, PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) = 0;
    virtual DWORD setNamedSecurityInfo(const std::wstring& path, SECURITY_INFORMATION what, PSID owner, PSID group,
                                       PACL dacl) = 0;
    // GetSecurityInfo / SetSecurityInfo on SE_FILE_OBJECT: the object the handle was opened on,
    // whatever its name now leads to.
    virtual DWORD getSecurityInfo(HANDLE handle, SECURITY_INFORMATION what, PSID* owner, PSID* group, PACL* dacl,
                                  PSECURITY_DESCRIPTOR* descriptor) = 0;
    virtual DWORD setSecurityInfo(HANDLE handle, SECURITY_INFORMATION what, PSID owner, PSID group, PACL dacl) = 0;

    // --- accounts
    // The machine's account-domain SID (NetUserModalsGet level 2) and its name.
    virtual DWORD accountDomain(std::vector<BYTE>* sid, std::wstring* name) = 0;
    // LookupAccountSidW / LookupAccountNameW on the local machine; the sizes are in and out as
    // in the API (characters for names, bytes for the SID).
    virtual DWORD lookupAccountSid(PSID sid, wchar_t* name, DWORD* nameSize, wchar_t* domain, DWORD* domainSize,
                                   SID_NAME_USE* use) = 0;
    virtual DWORD lookupAccountName(const std::wstring& account, PSID sid, DWORD* sidSize, wchar_t* domain,
                                    DWORD* domainSize, SID_NAME_USE* use) = 0;
    // GetComputerNameW.
    virtual DWORD computerName(std::wstring* name) = 0;
    // The full-name field of NetUserGetInfo level 2 (the local machine when `server` is empty).
    virtual DWORD userFullName(const std::wstring& server, const std::wstring& user, std::wstring* fullName) = 0;

    // --- tokens
    // OpenProcessToken / OpenThreadToken (asSelf) of the current process or thread.
    virtual DWORD openProcessToken(DWORD access, HANDLE* token) = 0;
    virtual DWORD openThreadToken(DWORD access, BOOL openAsSelf, HANDLE* token) = 0;
    virtual DWORD getTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, void* buffer, DWORD size,
                                      DWORD* needed) = 0;
    virtual DWORD adjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* privileges) = 0;
    // ImpersonateLoggedOnUser on the current thread / RevertToSelf.
    virtual DWORD impersonateLoggedOnUser(HANDLE token) = 0;
    virtual DWORD revertToSelf() = 0;
    virtual DWORD accessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD desired,
                              GENERIC_MAPPING* mapping, PRIVILEGE_SET* privileges, DWORD* privilegesSize,
                              DWORD* granted, BOOL* status) = 0;

    // --- processes (no application name: the program is the first word of the command line,
    // which the API may write into; no environment block: the caller's is inherited)
    // CreateProcessW: the child gets the process token.
    virtual DWORD createProcess(std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                                const std::wstring& directory, STARTUPINFOW* startup,
                                PROCESS_INFORMATION* info) = 0;
    // CreateProcessAsUserW with a primary token.
    virtual DWORD createProcessAsUser(HANDLE token, std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                                      const std::wstring& directory, STARTUPINFOW* startup,
                                      PROCESS_INFORMATION* info) = 0;
    // CreateProcessWithTokenW with a primary token (no handle inheritance in its signature).
    virtual DWORD createProcessWithToken(HANDLE token, DWORD logonFlags, std::wstring& commandLine, DWORD flags,
                                         const std::wstring& directory, STARTUPINFOW* startup,
                                         PROCESS_INFORMATION* info) = 0;
};

// The platform in force: the installed substitute, or the Win32 pass-through.
Platform& current();

// Owns an enumeration handle of the platform in force (closed with its findClose).
class FindScope {
public:
    FindScope() = default;
    ~FindScope() {
        if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) current().findClose(handle_);
    }
    FindScope(const FindScope&) = delete;
    FindScope& operator=(const FindScope&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE* receive() { return &handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};
// The production pass-through.
Platform& win32();
// Installs a substitute (nullptr restores the pass-through); returns the previous one.
Platform* install(Platform* substitute);

} // namespace platform
