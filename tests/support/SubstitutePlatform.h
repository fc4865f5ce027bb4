// A platform for tests: the Win32 pass-through underneath, plus what Wine does not do the way
// Windows does — 8.3 short names, stored file security, a configurable token and account domain,
// junctions and symbolic links over real folders and files, a record of how security is written —
// and fault injection (the next N calls of an operation on a path
// fail with a given error; for copy, move and hard links the path may be either of the two).
#pragma once
#include "support/ScopedInstall.h"
#include "security/Sid.h"
#include "platform/Platform.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

enum class Call {
    getFileAttributes,
    setFileAttributes,
    getLongPathName,
    getShortPathName,
    getVolumeInformation,
    getDiskFreeSpace,
    findFirstFile,
    getCurrentDirectory,
    getTempPath,
    getFullPathName,
    setFileTime,
    getBinaryType,
    getNamedSecurityInfo,
    setNamedSecurityInfo,
    accountDomain,
    openProcessToken,
    openThreadToken,
    getTokenInformation,
    adjustTokenPrivileges,
    lookupAccountSid,  // keyed by the SID's string form
    lookupAccountName, // keyed by the name as asked
    computerName,
    userFullName, // keyed by the user name
    impersonateLoggedOnUser,
    revertToSelf,
    accessCheck,
    createFile,
    createDirectory,
    removeDirectory,
    deleteFile,
    copyFile,
    moveFile,
    createHardLink,
    deviceIoControl,
    fileIndex,
    handleAttributes,
    getSecurityInfo,
    setSecurityInfo,
    createProcess,
    createProcessAsUser,
    createProcessWithToken,
};

// One write of security as the substitute saw it: the object whose security changed (its key),
// whether it was named or reached through an open handle, and whether a reparse point on the way
// was followed to reach it (the name or handle stood for a link, the write went to its target).
struct SecurityWrite {
    std::wstring object;
    bool byHandle = false;
    bool followedLink = false;
};

// A local account the substitute knows beside the system's.
struct LocalAccount {
    std::wstring domain;
    std::wstring name;
    security::Sid sid;
    SID_NAME_USE use = SidTypeUser;
    // What a look-up by SID answers when it differs from `use` (some SIDs answer "unknown" by
    // SID and their kind only by name).
    std::optional<SID_NAME_USE> useBySid = std::nullopt;
};

// The security of one path as the substitute keeps it.
struct StoredSecurity {
    security::Sid owner;
    security::Sid group;
    std::optional<std::vector<BYTE>> dacl; // the ACL's bytes; nothing for a NULL DACL
    bool protectedDacl = false;
};

struct SubstituteGroup {
    security::Sid sid;
    DWORD attributes = SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY;
};

// A process token: its user, its groups and the privileges it holds (by name, e.g.
// SE_TAKE_OWNERSHIP_NAME); `enabled` records what AdjustTokenPrivileges enabled.
struct SubstituteToken {
    security::Sid user;
    std::vector<SubstituteGroup> groups;
    std::vector<std::wstring> privileges;
    std::vector<std::wstring> enabled;
};

class SubstitutePlatform : public platform::Platform {
public:
    SubstitutePlatform();

    // --- configuration
    // `shortPath` is another name of the existing `longPath` (both full, "\\?\" optional):
    // GetLongPathNameW and GetShortPathNameW translate between them.
    void addShortName(const std::wstring& longPath, const std::wstring& shortPath);
    // Fails the next `count` calls of `call` on `path` (on any path when empty) with `error`.
    void failNext(Call call, const std::wstring& path, DWORD error, int count = 1);
    // Runs `action` once, right before the next call of `call` on `path` (any path when empty)
    // goes through: what another process does at that moment.
    void onNext(Call call, const std::wstring& path, std::function<void()> action);
    // Calls made of `call` on `path` (on any path when empty).
    int calls(Call call, const std::wstring& path = L"") const;
    // Calls of `call` made while a thread token is modelled (setThreadToken) by a thread that
    // held none: made with the program's own rights where the account's were due.
    int callsAsProcess(Call call) const;
    // The threads that made calls of `call`.
    size_t threadsOf(Call call) const;
    void setSecurity(const std::wstring& path, StoredSecurity security);
    std::optional<StoredSecurity> security(const std::wstring& path) const;
    void setAccountDomain(const security::Sid& sid, const std::wstring& name);
    void setToken(SubstituteToken token) { token_ = std::move(token); }
    // What a thread token reads as while the thread really holds one (the account the run-as
    // service switched it to); nothing: thread tokens read as the process token does.
    void setThreadToken(std::optional<SubstituteToken> token) { threadToken_ = std::move(token); }
    // Accounts answered by LookupAccountSidW and LookupAccountNameW ("DOMAIN\\name" or "name").
    void addAccount(LocalAccount account) { accounts_.push_back(std::move(account)); }
    // A SID whose account was deleted: its look-up fails with ERROR_NONE_MAPPED.
    void addDeletedSid(const security::Sid& sid) { deleted_.push_back(sid); }
    // The full name NetUserGetInfo answers for a user name (of any domain).
    void setFullName(const std::wstring& user, const std::wstring& fullName) { fullNames_[key(user)] = fullName; }
    SubstituteToken& token() { return *token_; }
    // Makes the existing empty folder `path` a junction to `target` (full paths): it then reads as
    // a name-surrogate reparse point, and paths below it reach the target's contents.
    void addJunction(const std::wstring& path, const std::wstring& target);
    // The enumeration of the folder holding `path` (an existing entry) delivers it a second time,
    // right after it, as `twin` (the same name in other letter case): a case-sensitive folder, as
    // Windows allows them. Opening either name reaches the one entry.
    void addCaseTwin(const std::wstring& path, const std::wstring& twin);
    // The target of the junction at `path` ("\\?\" form), when it is one.
    std::optional<std::wstring> junctionTarget(const std::wstring& path) const;
    // Makes the existing empty folder (`directory`) or file at `path` a symbolic link to `target`:
    // a full path, or one relative to the link's own folder ("..\\x"), stored as given. It reads
    // as a name-surrogate reparse point; opening it without FILE_FLAG_OPEN_REPARSE_POINT, and the
    // calls that follow links by name (CopyFileW, named security), reach the target.
    void addSymbolicLink(const std::wstring& path, const std::wstring& target, bool directory);
    // The reparse tag of the junction or symbolic link at `path`, or 0.
    DWORD reparseTag(const std::wstring& path) const;
    // Every security write made so far, in order.
    const std::vector<SecurityWrite>& securityWrites() const { return securityWrites_; }
    // The temporary directory GetTempPathW answers (the system's when not set).
    void setTempPath(const std::wstring& path) { tempPath_ = path; }
    // The bytes every volume has free for the caller (the volume's own when not set).
    void setFreeSpace(ULONGLONG bytes) { freeSpace_ = bytes; }

    // --- the platform
    DWORD getFileAttributes(const std::wstring& path, DWORD* attributes) override;
    DWORD setFileAttributes(const std::wstring& path, DWORD attributes) override;
    DWORD getLongPathName(const std::wstring& path, wchar_t* buffer, DWORD size, DWORD* length) override;
    DWORD getShortPathName(const std::wstring& path, wchar_t* buffer, DWORD size, DWORD* length) override;
    DWORD getVolumeInformation(const std::wstring& root) override;
    DWORD getDiskFreeSpace(const std::wstring& directory, ULONGLONG* availableToCaller,
                           ULONGLONG* total) override;
    DWORD findFirstFile(const std::wstring& pattern, WIN32_FIND_DATAW* data, HANDLE* find) override;
    DWORD findNextFile(HANDLE find, WIN32_FIND_DATAW* data) override;
    void findClose(HANDLE find) override;
    DWORD getCurrentDirectory(DWORD size, wchar_t* buffer, DWORD* length) override;
    DWORD getTempPath(DWORD size, wchar_t* buffer, DWORD* length) override;
    DWORD getFullPathName(const std::wstring& path, DWORD size, wchar_t* buffer, DWORD* length) override;
    DWORD createFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                     HANDLE* handle) override;
    DWORD createDirectory(const std::wstring& path, SECURITY_ATTRIBUTES* securityAttributes) override;
    DWORD removeDirectory(const std::wstring& path) override;
    DWORD deleteFile(const std::wstring& path) override;
    DWORD copyFile(const std::wstring& source, const std::wstring& destination, BOOL failIfExists) override;
    DWORD moveFile(const std::wstring& source, const std::wstring& destination, DWORD flags) override;
    DWORD createHardLink(const std::wstring& link, const std::wstring& existing) override;
    DWORD deviceIoControl(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                          DWORD* returned) override;
    DWORD fileIndex(HANDLE handle, LARGE_INTEGER* index) override;
    DWORD handleAttributes(HANDLE handle, DWORD* attributes) override;
    // Faults of setFileTime are matched on any path (the call names a handle).
    DWORD setFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                      const FILETIME* lastWrite) override;
    DWORD getBinaryType(const std::wstring& path, DWORD* type) override;
    DWORD getNamedSecurityInfo(const std::wstring& path, SECURITY_INFORMATION what, PSID* owner, PSID* group,
                               PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) override;
    DWORD setNamedSecurityInfo(const std::wstring& path, SECURITY_INFORMATION what, PSID owner, PSID group,
                               PACL dacl) override;
    DWORD getSecurityInfo(HANDLE handle, SECURITY_INFORMATION what, PSID* owner, PSID* group, PACL* dacl,
                          PSECURITY_DESCRIPTOR* descriptor) override;
    DWORD setSecurityInfo(HANDLE handle, SECURITY_INFORMATION what, PSID owner, PSID group, PACL dacl) override;
    DWORD accountDomain(std::vector<BYTE>* sid, std::wstring* name) override;
    DWORD openProcessToken(DWORD access, HANDLE* token) override;
    DWORD openThreadToken(DWORD access, BOOL openAsSelf, HANDLE* token) override;
    DWORD getTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, void* buffer, DWORD size,
                              DWORD* needed) override;
    DWORD adjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* privileges) override;
    DWORD lookupAccountSid(PSID sid, wchar_t* name, DWORD* nameSize, wchar_t* domain, DWORD* domainSize,
                           SID_NAME_USE* use) override;
    DWORD computerName(std::wstring* name) override;
    DWORD userFullName(const std::wstring& server, const std::wstring& user, std::wstring* fullName) override;
    DWORD lookupAccountName(const std::wstring& account, PSID sid, DWORD* sidSize, wchar_t* domain,
                            DWORD* domainSize, SID_NAME_USE* use) override;
    DWORD impersonateLoggedOnUser(HANDLE token) override;
    DWORD revertToSelf() override;
    DWORD accessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD desired, GENERIC_MAPPING* mapping,
                      PRIVILEGE_SET* privileges, DWORD* privilegesSize, DWORD* granted, BOOL* status) override;
    // Process creation checks the documented privileges of the caller (the thread's token while
    // the thread impersonates, else the process token; enabled privileges only), where the
    // substitute models that token; Wine checks none.
    DWORD createProcess(std::wstring& commandLine, BOOL inheritHandles, DWORD flags, const std::wstring& directory,
                        STARTUPINFOW* startup, PROCESS_INFORMATION* info) override;
    DWORD createProcessAsUser(HANDLE token, std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                              const std::wstring& directory, STARTUPINFOW* startup,
                              PROCESS_INFORMATION* info) override;
    DWORD createProcessWithToken(HANDLE token, DWORD logonFlags, std::wstring& commandLine, DWORD flags,
                                 const std::wstring& directory, STARTUPINFOW* startup,
                                 PROCESS_INFORMATION* info) override;

    // The key a path is stored under: no "\\?\", no trailing "\", lower case.
    static std::wstring key(const std::wstring& path);

private:
    struct Fault {
        Call call;
        std::wstring key;
        DWORD error;
        int count;
    };
    // Counts the call; the error of a pending fault for it, or ERROR_SUCCESS.
    DWORD enter(Call call, const std::wstring& path, const std::wstring& other = L"");
    // The path (without "\\?\\") with its names translated by the short-name table.
    std::wstring translate(std::wstring rest, bool toLong) const;
    // The path with a short name replaced by its long name and a junction among its ancestors replaced by the junction's target.
    std::wstring resolve(const std::wstring& path) const;
    // resolve, then a link at the end replaced by its target (as calls that follow links by name do).
    std::wstring follow(const std::wstring& path) const;
    // Junctions at `from` or below it now live at `to` (after a move or a rename).
    void moveJunctions(const std::wstring& from, const std::wstring& to);
    // A security write to `path` (the object itself) without counting or faults.
    DWORD store(const std::wstring& path, SECURITY_INFORMATION what, PSID owner, PSID group, PACL dacl);
    // The stored security of `path` in the caller's buffers (as GetNamedSecurityInfoW answers).
    static DWORD answer(const StoredSecurity& s, SECURITY_INFORMATION what, PSID* owner, PSID* group, PACL* dacl,
                        PSECURITY_DESCRIPTOR* descriptor);
    // After an entry is found: marks it as a junction when it is one, and keeps its twin for the
    // next call of the enumeration.
    void found(HANDLE find, const std::wstring& directoryKey, WIN32_FIND_DATAW* data);
    // Marks an enumerated entry of the directory as a junction when it is one.
    void markJunction(const std::wstring& directoryKey, WIN32_FIND_DATAW* data) const;
    // The modelled token a handle reads as; null when the real one answers.
    SubstituteToken* modelled(HANDLE token);
    // The modelled token whose privileges Windows would check for a call made now; null when
    // the real one would be checked.
    const SubstituteToken* caller();
    // Windows' answer to GetLongPathNameW / GetShortPathNameW with the given name table.
    DWORD translateName(const std::wstring& path, bool toLong, wchar_t* buffer, DWORD size, DWORD* length);

    // Calls arrive from every thread a command runs (a tree copy copies on several): one at a time.
    using Guard = std::lock_guard<std::recursive_mutex>;
    mutable std::recursive_mutex mutex_;
    platform::Platform& real_;
    std::vector<std::pair<std::wstring, std::wstring>> names_; // (long, short), no prefix
    struct Hook {
        Call call;
        std::wstring key;
        std::function<void()> action;
    };
    std::vector<Fault> faults_;
    std::vector<Hook> hooks_;
    std::map<std::pair<Call, std::wstring>, int> calls_;
    std::map<Call, int> asProcess_;
    std::map<Call, std::set<std::thread::id>> threads_;
    std::map<std::wstring, StoredSecurity> security_;
    std::optional<std::pair<security::Sid, std::wstring>> domain_;
    std::optional<SubstituteToken> token_;
    std::optional<SubstituteToken> threadToken_;
    std::vector<HANDLE> threadHandles_; // handles openThreadToken gave out while threadToken_ was set
    std::optional<std::wstring> tempPath_;
    std::optional<ULONGLONG> freeSpace_;
    std::vector<LocalAccount> accounts_;
    std::vector<security::Sid> deleted_;
    std::map<std::wstring, std::wstring> fullNames_;
    // A junction or a symbolic link: `leadsTo` is where it leads ("\\?\" form), `stored` what
    // its reparse data holds (a relative symbolic link keeps its relative text).
    struct Link {
        std::wstring leadsTo;
        std::wstring stored;
        DWORD tag = 0;
        bool relative = false;
    };
    // What a handle was opened on: the key of the object, whether it is the reparse point itself,
    // and whether a link was followed to reach it.
    struct Opened {
        std::wstring key;
        bool reparsePoint = false;
        bool followedLink = false;
    };
    std::map<std::wstring, Link> junctions_; // key -> the link there
    std::map<HANDLE, Opened> opened_;
    std::vector<SecurityWrite> securityWrites_;
    std::map<HANDLE, std::wstring> enumerated_;      // find handle -> the key of its directory
    std::multimap<std::wstring, std::wstring> twins_; // key of the entry -> its twin's name
    std::map<HANDLE, WIN32_FIND_DATAW> pendingTwins_; // find handle -> the twin it delivers next
};

// Installs a platform for its lifetime; the previous one comes back afterwards.
using ScopedPlatform = ScopedInstall<platform::Platform, platform::install>;

} // namespace testsupport
