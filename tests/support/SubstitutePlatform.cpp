#include "support/SubstitutePlatform.h"

#include "platform/Handle.h"
#include "platform/ReparseBuffer.h"

#include <algorithm>
#include <cstring>

namespace testsupport {
namespace {

const std::wstring kPrefix = L"\\\\?\\";
using platform::kMountPointTag;
using platform::kSymbolicLinkTag;
using platform::MountPointHead;
constexpr ULONG kSymlinkRelative = 1; // SYMLINK_FLAG_RELATIVE

bool startsWithNoCase(const std::wstring& s, const std::wstring& head) {
    return s.size() >= head.size() &&
           CompareStringOrdinal(s.data(), static_cast<int>(head.size()), head.data(), static_cast<int>(head.size()),
                                TRUE) == CSTR_EQUAL &&
           (s.size() == head.size() || s[head.size()] == L'\\');
}

std::wstring withoutPrefix(const std::wstring& path) {
    return path.compare(0, kPrefix.size(), kPrefix) == 0 ? path.substr(kPrefix.size()) : path;
}

// The Win32 answer of the "buffer and size" kind: the length without the terminating null, or
// the size needed with it when the buffer is too small.
DWORD answerString(const std::wstring& s, wchar_t* buffer, DWORD size, DWORD* length) {
    if (size < s.size() + 1) {
        *length = static_cast<DWORD>(s.size() + 1);
        return ERROR_SUCCESS;
    }
    std::copy(s.begin(), s.end(), buffer);
    buffer[s.size()] = L'\0';
    *length = static_cast<DWORD>(s.size());
    return ERROR_SUCCESS;
}

std::optional<std::vector<BYTE>> aclBytes(PACL acl) {
    if (acl == nullptr) return std::nullopt;
    auto* p = reinterpret_cast<BYTE*>(acl);
    return std::vector<BYTE>(p, p + acl->AclSize);
}

LUID privilegeValue(const std::wstring& name) {
    LUID luid{};
    LookupPrivilegeValueW(nullptr, name.c_str(), &luid);
    return luid;
}

// Serialises a token information class into the caller's buffer the way Windows lays it out:
// the fixed part first, the SIDs behind it.
class TokenWriter {
public:
    TokenWriter(void* buffer, DWORD size) : base_(static_cast<BYTE*>(buffer)), size_(size) {}
    // Reserves `bytes`; null while only measuring (the buffer is too small).
    BYTE* take(size_t bytes) {
        size_t at = used_;
        used_ += (bytes + 7) & ~size_t(7);
        return fits() ? base_ + at : nullptr;
    }
    PSID sid(const security::Sid& sid) {
        BYTE* p = take(sid.length());
        if (p) std::memcpy(p, sid.get(), sid.length());
        return p;
    }
    DWORD finish(DWORD* needed) {
        *needed = static_cast<DWORD>(used_);
        return fits() ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER;
    }

private:
    bool fits() const { return base_ && used_ <= size_; }
    BYTE* base_;
    size_t size_;
    size_t used_ = 0;
};

} // namespace

SubstitutePlatform::SubstitutePlatform() : real_(platform::win32()) {}

std::wstring SubstitutePlatform::key(const std::wstring& path) {
    std::wstring k = withoutPrefix(path);
    while (k.size() > 1 && k.back() == L'\\') k.pop_back();
    if (!k.empty()) CharLowerBuffW(k.data(), static_cast<DWORD>(k.size()));
    return k;
}

void SubstitutePlatform::addShortName(const std::wstring& longPath, const std::wstring& shortPath) {
    const Guard guard(mutex_);
    auto plain = [](std::wstring p) {
        p = withoutPrefix(p);
        while (p.size() > 1 && p.back() == L'\\') p.pop_back();
        return p;
    };
    names_.emplace_back(plain(longPath), plain(shortPath));
}

void SubstitutePlatform::failNext(Call call, const std::wstring& path, DWORD error, int count) {
    const Guard guard(mutex_);
    faults_.push_back({call, path.empty() ? L"" : key(path), error, count});
}

void SubstitutePlatform::onNext(Call call, const std::wstring& path, std::function<void()> action) {
    const Guard guard(mutex_);
    hooks_.push_back({call, path.empty() ? L"" : key(path), std::move(action)});
}

int SubstitutePlatform::calls(Call call, const std::wstring& path) const {
    const Guard guard(mutex_);
    int n = 0;
    for (const auto& [k, count] : calls_)
        if (k.first == call && (path.empty() || k.second == key(path))) n += count;
    return n;
}

void SubstitutePlatform::setSecurity(const std::wstring& path, StoredSecurity security) {
    const Guard guard(mutex_);
    security_[key(path)] = std::move(security);
}

std::optional<StoredSecurity> SubstitutePlatform::security(const std::wstring& path) const {
    const Guard guard(mutex_);
    auto it = security_.find(key(path));
    if (it == security_.end()) return std::nullopt;
    return it->second;
}

void SubstitutePlatform::setAccountDomain(const security::Sid& sid, const std::wstring& name) {
    const Guard guard(mutex_);
    domain_.emplace(sid, name);
}

int SubstitutePlatform::callsAsProcess(Call call) const {
    const Guard guard(mutex_);
    auto it = asProcess_.find(call);
    return it == asProcess_.end() ? 0 : it->second;
}

size_t SubstitutePlatform::threadsOf(Call call) const {
    const Guard guard(mutex_);
    auto it = threads_.find(call);
    return it == threads_.end() ? 0 : it->second.size();
}

DWORD SubstitutePlatform::enter(Call call, const std::wstring& path, const std::wstring& other) {
    const Guard guard(mutex_);
    std::wstring k = path.empty() ? L"" : key(path);
    std::wstring k2 = other.empty() ? L"" : key(other);
    ++calls_[{call, k}];
    if (!k2.empty()) ++calls_[{call, k2}];
    threads_[call].insert(std::this_thread::get_id());
    if (threadToken_) {
        platform::Handle held;
        if (real_.openThreadToken(TOKEN_QUERY, TRUE, held.receive()) != ERROR_SUCCESS) ++asProcess_[call];
    }
    for (auto it = hooks_.begin(); it != hooks_.end(); ++it) {
        if (it->call != call || (!it->key.empty() && it->key != k && it->key != k2)) continue;
        std::function<void()> action = std::move(it->action);
        hooks_.erase(it);
        action();
        break;
    }
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->call != call || (!it->key.empty() && it->key != k && it->key != k2)) continue;
        DWORD error = it->error;
        if (--it->count <= 0) faults_.erase(it);
        return error;
    }
    return ERROR_SUCCESS;
}

std::wstring SubstitutePlatform::translate(std::wstring rest, bool toLong) const {
    const Guard guard(mutex_);
    for (int round = 0; round < 8; ++round) {
        bool changed = false;
        for (const auto& [longName, shortName] : names_) {
            const std::wstring& from = toLong ? shortName : longName;
            const std::wstring& to = toLong ? longName : shortName;
            if (from == to || !startsWithNoCase(rest, from)) continue;
            rest = to + rest.substr(from.size());
            changed = true;
        }
        if (!changed) break;
    }
    return rest;
}

DWORD SubstitutePlatform::translateName(const std::wstring& path, bool toLong, wchar_t* buffer, DWORD size,
                                        DWORD* length) {
    const Guard guard(mutex_);
    std::wstring prefix = path.compare(0, kPrefix.size(), kPrefix) == 0 ? kPrefix : L"";
    std::wstring rest = translate(path.substr(prefix.size()), toLong);
    // Windows checks every component: a missing item fails, with 3 when its parent is missing too.
    std::wstring whole = kPrefix + translate(withoutPrefix(rest), true);
    DWORD attributes = 0;
    if (DWORD error = real_.getFileAttributes(whole, &attributes)) {
        *length = 0;
        if (error != ERROR_FILE_NOT_FOUND) return error;
        std::wstring trimmedWhole = whole;
        while (trimmedWhole.size() > 1 && trimmedWhole.back() == L'\\') trimmedWhole.pop_back();
        std::wstring parent = trimmedWhole.substr(0, trimmedWhole.rfind(L'\\') + 1);
        return real_.getFileAttributes(parent, &attributes) ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    }
    return answerString(prefix + rest, buffer, size, length);
}

DWORD SubstitutePlatform::getFileAttributes(const std::wstring& path, DWORD* attributes) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getFileAttributes, path)) {
        *attributes = INVALID_FILE_ATTRIBUTES;
        return error;
    }
    DWORD error = real_.getFileAttributes(resolve(path), attributes);
    if (error == ERROR_SUCCESS && junctions_.count(key(path))) *attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return error;
}

DWORD SubstitutePlatform::setFileAttributes(const std::wstring& path, DWORD attributes) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::setFileAttributes, path)) return error;
    return real_.setFileAttributes(resolve(path), attributes & ~DWORD(FILE_ATTRIBUTE_REPARSE_POINT));
}

void SubstitutePlatform::addJunction(const std::wstring& path, const std::wstring& target) {
    const Guard guard(mutex_);
    CreateDirectoryW((kPrefix + withoutPrefix(path)).c_str(), nullptr);
    std::wstring full = kPrefix + withoutPrefix(target);
    junctions_[key(path)] = {full, full, kMountPointTag, false};
}

void SubstitutePlatform::addSymbolicLink(const std::wstring& path, const std::wstring& target, bool directory) {
    const Guard guard(mutex_);
    const std::wstring link = kPrefix + withoutPrefix(path);
    if (directory) {
        CreateDirectoryW(link.c_str(), nullptr);
    } else {
        CloseHandle(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    }
    const bool relative = target.size() < 2 || (target[1] != L':' && target.compare(0, 2, L"\\\\") != 0);
    std::wstring leadsTo = kPrefix + withoutPrefix(target);
    if (relative) { // from the link's own folder ("\\x" from its volume's root); ".." climbs from there
        const std::wstring plain = withoutPrefix(link);
        std::wstring joined = target[0] == L'\\' ? plain.substr(0, 2) + target
                                                  : plain.substr(0, plain.rfind(L'\\') + 1) + target;
        wchar_t full[MAX_PATH * 4];
        DWORD n = GetFullPathNameW(joined.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
        leadsTo = kPrefix + (n > 0 && n < std::size(full) ? std::wstring(full) : joined);
    }
    junctions_[key(path)] = {leadsTo, relative ? target : leadsTo, kSymbolicLinkTag, relative};
}

std::optional<std::wstring> SubstitutePlatform::junctionTarget(const std::wstring& path) const {
    const Guard guard(mutex_);
    auto it = junctions_.find(key(path));
    if (it == junctions_.end() || it->second.tag != kMountPointTag) return std::nullopt;
    return it->second.leadsTo;
}

DWORD SubstitutePlatform::reparseTag(const std::wstring& path) const {
    const Guard guard(mutex_);
    auto it = junctions_.find(key(path));
    return it == junctions_.end() ? 0 : it->second.tag;
}

std::wstring SubstitutePlatform::resolve(const std::wstring& path) const {
    const Guard guard(mutex_);
    if (junctions_.empty() && names_.empty()) return path;
    // A short name reaches the same item as its long name.
    std::wstring plain = translate(withoutPrefix(path), true);
    bool changed = plain != withoutPrefix(path);
    for (int round = 0; round < 8; ++round) { // a junction may lead into another
        std::wstring k = key(plain);
        auto below = std::find_if(junctions_.begin(), junctions_.end(), [&](const auto& j) {
            return k.size() > j.first.size() && k.compare(0, j.first.size(), j.first) == 0 &&
                   k[j.first.size()] == L'\\';
        });
        if (below == junctions_.end()) break;
        plain = withoutPrefix(below->second.leadsTo) + plain.substr(below->first.size());
        changed = true;
    }
    return changed ? kPrefix + plain : path;
}

std::wstring SubstitutePlatform::follow(const std::wstring& path) const {
    const Guard guard(mutex_);
    std::wstring at = resolve(path);
    for (int round = 0; round < 8; ++round) {
        auto link = junctions_.find(key(at));
        if (link == junctions_.end()) break;
        at = resolve(link->second.leadsTo);
    }
    return at;
}

void SubstitutePlatform::moveJunctions(const std::wstring& from, const std::wstring& to) {
    const Guard guard(mutex_);
    std::wstring f = key(from), t = key(to);
    std::map<std::wstring, Link> moved;
    for (auto it = junctions_.begin(); it != junctions_.end();) {
        if (it->first == f || (it->first.size() > f.size() && it->first.compare(0, f.size(), f) == 0 &&
                               it->first[f.size()] == L'\\')) {
            moved[t + it->first.substr(f.size())] = it->second;
            it = junctions_.erase(it);
        } else {
            ++it;
        }
    }
    junctions_.merge(moved);
}

namespace {
bool isEmptyDirectory(platform::Platform& real, const std::wstring& directory) {
    WIN32_FIND_DATAW data{};
    HANDLE find = INVALID_HANDLE_VALUE;
    if (real.findFirstFile(directory + L"\\*", &data, &find)) return true;
    bool empty = true;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") empty = false;
    } while (empty && real.findNextFile(find, &data) == ERROR_SUCCESS);
    real.findClose(find);
    return empty;
}
} // namespace

DWORD SubstitutePlatform::createFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                                     DWORD flags, HANDLE* handle) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::createFile, path)) {
        *handle = INVALID_HANDLE_VALUE;
        return error;
    }
    const bool asItself = flags & FILE_FLAG_OPEN_REPARSE_POINT;
    const bool link = junctions_.count(key(path)) != 0;
    std::wstring opened = asItself ? resolve(path) : follow(path);
    DWORD error = real_.createFile(opened, access, share, disposition, flags, handle);
    // A link opened as itself keeps its own name: that is where a reparse point is read or set.
    if (error == ERROR_SUCCESS) opened_[*handle] = {link && asItself ? key(path) : key(opened), link && asItself,
                                                    link && !asItself};
    return error;
}

DWORD SubstitutePlatform::createDirectory(const std::wstring& path, SECURITY_ATTRIBUTES* securityAttributes) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::createDirectory, path)) return error;
    DWORD error = real_.createDirectory(resolve(path), securityAttributes);
    // Wine keeps only mode bits: the DACL the directory was made with is kept here.
    if (error == ERROR_SUCCESS && securityAttributes && securityAttributes->lpSecurityDescriptor) {
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        GetSecurityDescriptorDacl(securityAttributes->lpSecurityDescriptor, &present, &dacl, &defaulted);
        if (present) error = store(path, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl);
    }
    return error;
}

DWORD SubstitutePlatform::removeDirectory(const std::wstring& path) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::removeDirectory, path)) return error;
    DWORD error = real_.removeDirectory(resolve(path));
    if (error == ERROR_SUCCESS) junctions_.erase(key(path));
    return error;
}

DWORD SubstitutePlatform::deleteFile(const std::wstring& path) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::deleteFile, path)) return error;
    DWORD error = real_.deleteFile(resolve(path));
    if (error == ERROR_SUCCESS) junctions_.erase(key(path));
    return error;
}

DWORD SubstitutePlatform::copyFile(const std::wstring& source, const std::wstring& destination, BOOL failIfExists) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::copyFile, source, destination)) return error;
    // CopyFileW reads through a link at the source and writes through one at the destination.
    return real_.copyFile(follow(source), follow(destination), failIfExists);
}

DWORD SubstitutePlatform::moveFile(const std::wstring& source, const std::wstring& destination, DWORD flags) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::moveFile, source, destination)) return error;
    DWORD error = real_.moveFile(resolve(source), resolve(destination), flags);
    if (error == ERROR_SUCCESS) moveJunctions(source, destination);
    return error;
}

DWORD SubstitutePlatform::createHardLink(const std::wstring& link, const std::wstring& existing) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::createHardLink, link, existing)) return error;
    return real_.createHardLink(resolve(link), resolve(existing));
}

DWORD SubstitutePlatform::deviceIoControl(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out,
                                          DWORD outSize, DWORD* returned) {
    const Guard guard(mutex_);
    auto opened = opened_.find(handle);
    std::wstring k = opened == opened_.end() ? L"" : opened->second.key;
    if (DWORD error = enter(Call::deviceIoControl, k)) return error;
    if (code == FSCTL_SET_REPARSE_POINT) {
        if (inSize < sizeof(MountPointHead)) return ERROR_INVALID_PARAMETER;
        MountPointHead head;
        std::memcpy(&head, in, sizeof head);
        if (head.tag != kMountPointTag || inSize != head.dataLength + 8u ||
            sizeof head + head.substituteOffset + head.substituteLength > inSize)
            return ERROR_INVALID_REPARSE_DATA;
        if (!isEmptyDirectory(real_, kPrefix + k)) return ERROR_DIR_NOT_EMPTY;
        std::wstring name(head.substituteLength / 2, L'\0');
        std::memcpy(name.data(), static_cast<BYTE*>(in) + sizeof head + head.substituteOffset, head.substituteLength);
        if (name.compare(0, 4, L"\\??\\") != 0) return ERROR_INVALID_REPARSE_DATA;
        std::wstring full = kPrefix + name.substr(4);
        junctions_[k] = {full, full, kMountPointTag, false};
        return ERROR_SUCCESS;
    }
    if (code == FSCTL_GET_REPARSE_POINT) {
        auto junction = junctions_.find(k);
        if (junction == junctions_.end() || !opened->second.reparsePoint) return ERROR_NOT_A_REPARSE_POINT;
        const Link& link = junction->second;
        std::wstring name = link.relative ? link.stored : L"\\??\\" + withoutPrefix(link.stored);
        DWORD bytes = static_cast<DWORD>(name.size() * 2);
        // A symbolic link has a flags word between the head and its path buffer.
        const DWORD flagsSize = link.tag == kSymbolicLinkTag ? sizeof(ULONG) : 0;
        MountPointHead head{link.tag, WORD(bytes + 12 + flagsSize), 0, 0, WORD(bytes), WORD(bytes + 2), 0};
        DWORD total = sizeof head + flagsSize + bytes + 4;
        if (outSize < total) return ERROR_MORE_DATA;
        std::memset(out, 0, total);
        std::memcpy(out, &head, sizeof head);
        if (flagsSize) {
            ULONG flags = link.relative ? kSymlinkRelative : 0;
            std::memcpy(static_cast<BYTE*>(out) + sizeof head, &flags, sizeof flags);
        }
        std::memcpy(static_cast<BYTE*>(out) + sizeof head + flagsSize, name.data(), bytes);
        *returned = total;
        return ERROR_SUCCESS;
    }
    return real_.deviceIoControl(handle, code, in, inSize, out, outSize, returned);
}

DWORD SubstitutePlatform::fileIndex(HANDLE handle, LARGE_INTEGER* index) {
    const Guard guard(mutex_);
    auto opened = opened_.find(handle);
    if (DWORD error = enter(Call::fileIndex, opened == opened_.end() ? L"" : opened->second.key)) return error;
    return real_.fileIndex(handle, index);
}

DWORD SubstitutePlatform::handleAttributes(HANDLE handle, DWORD* attributes) {
    const Guard guard(mutex_);
    auto opened = opened_.find(handle);
    if (DWORD error = enter(Call::handleAttributes, opened == opened_.end() ? L"" : opened->second.key))
        return error;
    DWORD error = real_.handleAttributes(handle, attributes);
    if (error == ERROR_SUCCESS && opened != opened_.end() && opened->second.reparsePoint)
        *attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return error;
}

DWORD SubstitutePlatform::getLongPathName(const std::wstring& path, wchar_t* buffer, DWORD size, DWORD* length) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getLongPathName, path)) {
        *length = 0;
        return error;
    }
    return translateName(path, true, buffer, size, length);
}

DWORD SubstitutePlatform::getShortPathName(const std::wstring& path, wchar_t* buffer, DWORD size, DWORD* length) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getShortPathName, path)) {
        *length = 0;
        return error;
    }
    return translateName(path, false, buffer, size, length);
}

DWORD SubstitutePlatform::getVolumeInformation(const std::wstring& root) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getVolumeInformation, root)) return error;
    return real_.getVolumeInformation(root);
}

DWORD SubstitutePlatform::getDiskFreeSpace(const std::wstring& directory, ULONGLONG* availableToCaller,
                                           ULONGLONG* total) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getDiskFreeSpace, directory)) return error;
    DWORD error = real_.getDiskFreeSpace(directory, availableToCaller, total);
    if (!error && freeSpace_) *availableToCaller = *freeSpace_;
    return error;
}

DWORD SubstitutePlatform::findFirstFile(const std::wstring& pattern, WIN32_FIND_DATAW* data, HANDLE* find) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::findFirstFile, pattern)) {
        *find = INVALID_HANDLE_VALUE;
        return error;
    }
    DWORD error = real_.findFirstFile(resolve(pattern), data, find);
    if (error == ERROR_SUCCESS) {
        std::wstring directory = key(pattern);
        directory = directory.substr(0, directory.rfind(L'\\'));
        enumerated_[*find] = directory;
        found(*find, directory, data);
    }
    return error;
}

DWORD SubstitutePlatform::findNextFile(HANDLE find, WIN32_FIND_DATAW* data) {
    const Guard guard(mutex_);
    if (auto twin = pendingTwins_.find(find); twin != pendingTwins_.end()) {
        *data = twin->second;
        pendingTwins_.erase(twin);
        return ERROR_SUCCESS;
    }
    DWORD error = real_.findNextFile(find, data);
    auto directory = enumerated_.find(find);
    if (error == ERROR_SUCCESS && directory != enumerated_.end()) found(find, directory->second, data);
    return error;
}

void SubstitutePlatform::found(HANDLE find, const std::wstring& directoryKey, WIN32_FIND_DATAW* data) {
    const Guard guard(mutex_);
    markJunction(directoryKey, data);
    auto twin = twins_.find(key(directoryKey + L"\\" + data->cFileName));
    if (twin == twins_.end() || twin->second.size() >= MAX_PATH) return;
    WIN32_FIND_DATAW copy = *data;
    std::copy(twin->second.begin(), twin->second.end(), copy.cFileName);
    copy.cFileName[twin->second.size()] = 0;
    pendingTwins_[find] = copy;
}

void SubstitutePlatform::addCaseTwin(const std::wstring& path, const std::wstring& twin) {
    const Guard guard(mutex_);
    twins_.emplace(key(path), twin);
}

void SubstitutePlatform::findClose(HANDLE find) {
    const Guard guard(mutex_);
    pendingTwins_.erase(find);
    enumerated_.erase(find);
    real_.findClose(find);
}

void SubstitutePlatform::markJunction(const std::wstring& directoryKey, WIN32_FIND_DATAW* data) const {
    const Guard guard(mutex_);
    if (!junctions_.count(key(directoryKey + L"\\" + data->cFileName))) return;
    data->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    data->dwReserved0 = junctions_.at(key(directoryKey + L"\\" + data->cFileName)).tag;
}

DWORD SubstitutePlatform::getCurrentDirectory(DWORD size, wchar_t* buffer, DWORD* length) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getCurrentDirectory, L"")) {
        *length = 0;
        return error;
    }
    return real_.getCurrentDirectory(size, buffer, length);
}

DWORD SubstitutePlatform::getTempPath(DWORD size, wchar_t* buffer, DWORD* length) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getTempPath, L"")) {
        *length = 0;
        return error;
    }
    if (tempPath_) return answerString(*tempPath_, buffer, size, length);
    return real_.getTempPath(size, buffer, length);
}

DWORD SubstitutePlatform::getFullPathName(const std::wstring& path, DWORD size, wchar_t* buffer, DWORD* length) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getFullPathName, path)) {
        *length = 0;
        return error;
    }
    return real_.getFullPathName(path, size, buffer, length);
}

DWORD SubstitutePlatform::setFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                                      const FILETIME* lastWrite) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::setFileTime, L"")) return error;
    return real_.setFileTime(file, creation, lastAccess, lastWrite);
}

DWORD SubstitutePlatform::getBinaryType(const std::wstring& path, DWORD* type) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getBinaryType, path)) return error;
    return real_.getBinaryType(path, type);
}

DWORD SubstitutePlatform::getNamedSecurityInfo(const std::wstring& path, SECURITY_INFORMATION what, PSID* owner,
                                               PSID* group, PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getNamedSecurityInfo, path)) return error;
    // By name, the system opens the object without FILE_FLAG_OPEN_REPARSE_POINT: a link is followed.
    const std::wstring object = follow(path);
    auto it = security_.find(key(object));
    if (it == security_.end()) return real_.getNamedSecurityInfo(object, what, owner, group, dacl, descriptor);
    return answer(it->second, what, owner, group, dacl, descriptor);
}

DWORD SubstitutePlatform::getSecurityInfo(HANDLE handle, SECURITY_INFORMATION what, PSID* owner, PSID* group,
                                          PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) {
    const Guard guard(mutex_);
    auto opened = opened_.find(handle);
    const std::wstring k = opened == opened_.end() ? L"" : opened->second.key;
    if (DWORD error = enter(Call::getSecurityInfo, k)) return error;
    auto it = security_.find(k);
    if (it == security_.end()) return real_.getSecurityInfo(handle, what, owner, group, dacl, descriptor);
    return answer(it->second, what, owner, group, dacl, descriptor);
}

DWORD SubstitutePlatform::answer(const StoredSecurity& s, SECURITY_INFORMATION what, PSID* owner, PSID* group,
                                 PACL* dacl, PSECURITY_DESCRIPTOR* descriptor) {
    SECURITY_DESCRIPTOR absolute;
    InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
    if (what & OWNER_SECURITY_INFORMATION) SetSecurityDescriptorOwner(&absolute, s.owner.get(), FALSE);
    if (what & GROUP_SECURITY_INFORMATION) SetSecurityDescriptorGroup(&absolute, s.group.get(), FALSE);
    if (what & DACL_SECURITY_INFORMATION) {
        auto* acl = s.dacl ? reinterpret_cast<PACL>(const_cast<BYTE*>(s.dacl->data())) : nullptr;
        SetSecurityDescriptorDacl(&absolute, TRUE, acl, FALSE);
        if (s.protectedDacl) SetSecurityDescriptorControl(&absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    DWORD length = 0;
    MakeSelfRelativeSD(&absolute, nullptr, &length);
    PSECURITY_DESCRIPTOR relative = LocalAlloc(LMEM_FIXED, length);
    if (!relative || !MakeSelfRelativeSD(&absolute, relative, &length)) {
        DWORD error = GetLastError();
        LocalFree(relative);
        return error;
    }
    BOOL present = FALSE, defaulted = FALSE;
    if (owner) GetSecurityDescriptorOwner(relative, owner, &defaulted);
    if (group) GetSecurityDescriptorGroup(relative, group, &defaulted);
    if (dacl) GetSecurityDescriptorDacl(relative, &present, dacl, &defaulted);
    *descriptor = relative;
    return ERROR_SUCCESS;
}

DWORD SubstitutePlatform::setNamedSecurityInfo(const std::wstring& path, SECURITY_INFORMATION what, PSID owner,
                                               PSID group, PACL dacl) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::setNamedSecurityInfo, path)) return error;
    const std::wstring object = follow(path);
    DWORD error = store(object, what, owner, group, dacl);
    if (error == ERROR_SUCCESS) securityWrites_.push_back({key(object), false, junctions_.count(key(path)) != 0});
    return error;
}

DWORD SubstitutePlatform::setSecurityInfo(HANDLE handle, SECURITY_INFORMATION what, PSID owner, PSID group,
                                          PACL dacl) {
    const Guard guard(mutex_);
    auto opened = opened_.find(handle);
    if (opened == opened_.end()) return ERROR_INVALID_HANDLE;
    if (DWORD error = enter(Call::setSecurityInfo, opened->second.key)) return error;
    DWORD error = store(kPrefix + opened->second.key, what, owner, group, dacl);
    if (error == ERROR_SUCCESS) securityWrites_.push_back({opened->second.key, true, opened->second.followedLink});
    return error;
}

DWORD SubstitutePlatform::store(const std::wstring& path, SECURITY_INFORMATION what, PSID owner, PSID group,
                                PACL dacl) {
    const Guard guard(mutex_);
    std::wstring k = key(path);
    if (!security_.count(k)) {
        // The first write starts from what the system reports for the path.
        StoredSecurity seed;
        PSID o = nullptr, g = nullptr;
        PACL d = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        DWORD error = real_.getNamedSecurityInfo(
            path, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &o, &g, &d, &sd);
        if (error) return error;
        seed.owner = security::Sid(o);
        seed.group = security::Sid(g);
        seed.dacl = aclBytes(d);
        LocalFree(sd);
        security_[k] = std::move(seed);
    }
    StoredSecurity& s = security_[k];
    if (what & OWNER_SECURITY_INFORMATION) s.owner = security::Sid(owner);
    if (what & GROUP_SECURITY_INFORMATION) s.group = security::Sid(group);
    if (what & DACL_SECURITY_INFORMATION) s.dacl = aclBytes(dacl);
    if (what & PROTECTED_DACL_SECURITY_INFORMATION) s.protectedDacl = true;
    if (what & UNPROTECTED_DACL_SECURITY_INFORMATION) s.protectedDacl = false;
    return ERROR_SUCCESS;
}

DWORD SubstitutePlatform::accountDomain(std::vector<BYTE>* sid, std::wstring* name) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::accountDomain, L"")) return error;
    if (!domain_) return real_.accountDomain(sid, name);
    auto* p = static_cast<BYTE*>(domain_->first.get());
    sid->assign(p, p + domain_->first.length());
    *name = domain_->second;
    return ERROR_SUCCESS;
}

SubstituteToken* SubstitutePlatform::modelled(HANDLE token) {
    const Guard guard(mutex_);
    bool thread = std::find(threadHandles_.begin(), threadHandles_.end(), token) != threadHandles_.end();
    if (thread && threadToken_) return &*threadToken_;
    return token_ ? &*token_ : nullptr;
}

const SubstituteToken* SubstitutePlatform::caller() {
    const Guard guard(mutex_);
    platform::Handle thread;
    bool impersonating = real_.openThreadToken(TOKEN_QUERY, TRUE, thread.receive()) == ERROR_SUCCESS;
    if (impersonating && threadToken_) return &*threadToken_;
    return token_ ? &*token_ : nullptr;
}

DWORD SubstitutePlatform::openProcessToken(DWORD access, HANDLE* token) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::openProcessToken, L"")) return error;
    DWORD error = real_.openProcessToken(access, token);
    // A handle value that served a thread token before is a process token now.
    if (!error) threadHandles_.erase(std::remove(threadHandles_.begin(), threadHandles_.end(), *token),
                                     threadHandles_.end());
    return error;
}

DWORD SubstitutePlatform::openThreadToken(DWORD access, BOOL openAsSelf, HANDLE* token) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::openThreadToken, L"")) return error;
    DWORD error = real_.openThreadToken(access, openAsSelf, token);
    if (!error && threadToken_) threadHandles_.push_back(*token);
    return error;
}

DWORD SubstitutePlatform::getTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, void* buffer, DWORD size,
                                              DWORD* needed) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::getTokenInformation, L"")) return error;
    const SubstituteToken* model = modelled(token);
    if (!model || (cls != TokenUser && cls != TokenGroups && cls != TokenPrivileges))
        return real_.getTokenInformation(token, cls, buffer, size, needed);

    TokenWriter out(buffer, size);
    if (cls == TokenUser) {
        auto* user = reinterpret_cast<TOKEN_USER*>(out.take(sizeof(TOKEN_USER)));
        PSID sid = out.sid(model->user);
        if (user) *user = {{sid, 0}};
    } else if (cls == TokenGroups) {
        size_t n = model->groups.size();
        auto* groups = reinterpret_cast<TOKEN_GROUPS*>(
            out.take(offsetof(TOKEN_GROUPS, Groups) + std::max<size_t>(n, 1) * sizeof(SID_AND_ATTRIBUTES)));
        if (groups) groups->GroupCount = static_cast<DWORD>(n);
        for (size_t i = 0; i < n; ++i) {
            PSID sid = out.sid(model->groups[i].sid);
            if (groups) groups->Groups[i] = {sid, model->groups[i].attributes};
        }
    } else {
        size_t n = model->privileges.size();
        auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(
            out.take(offsetof(TOKEN_PRIVILEGES, Privileges) + std::max<size_t>(n, 1) * sizeof(LUID_AND_ATTRIBUTES)));
        if (privileges) {
            privileges->PrivilegeCount = static_cast<DWORD>(n);
            for (size_t i = 0; i < n; ++i) {
                const std::wstring& name = model->privileges[i];
                bool on = std::find(model->enabled.begin(), model->enabled.end(), name) != model->enabled.end();
                privileges->Privileges[i] = {privilegeValue(name), on ? DWORD(SE_PRIVILEGE_ENABLED) : 0};
            }
        }
    }
    return out.finish(needed);
}

DWORD SubstitutePlatform::adjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* privileges) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::adjustTokenPrivileges, L"")) return error;
    SubstituteToken* model = modelled(token);
    if (!model) return real_.adjustTokenPrivileges(token, privileges);
    bool all = true;
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID& wanted = privileges->Privileges[i].Luid;
        auto held = std::find_if(model->privileges.begin(), model->privileges.end(), [&](const std::wstring& name) {
            LUID luid = privilegeValue(name);
            return luid.LowPart == wanted.LowPart && luid.HighPart == wanted.HighPart;
        });
        if (held == model->privileges.end()) {
            all = false;
            continue;
        }
        auto& enabled = model->enabled;
        bool on = privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED;
        enabled.erase(std::remove(enabled.begin(), enabled.end(), *held), enabled.end());
        if (on) enabled.push_back(*held);
    }
    return all ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED;
}

namespace {

// The answer of the "sizes in, sizes out" kind: ERROR_INSUFFICIENT_BUFFER with the sizes needed
// (terminating nulls included) when a buffer is too small.
DWORD answerAccount(const LocalAccount& a, wchar_t* name, DWORD* nameSize, wchar_t* domain, DWORD* domainSize,
                    SID_NAME_USE* use) {
    const bool fits = name && domain && *nameSize > a.name.size() && *domainSize > a.domain.size();
    *nameSize = static_cast<DWORD>(a.name.size() + (fits ? 0 : 1));
    *domainSize = static_cast<DWORD>(a.domain.size() + (fits ? 0 : 1));
    if (!fits) return ERROR_INSUFFICIENT_BUFFER;
    std::copy(a.name.begin(), a.name.end(), name);
    name[a.name.size()] = L'\0';
    std::copy(a.domain.begin(), a.domain.end(), domain);
    domain[a.domain.size()] = L'\0';
    *use = a.useBySid.value_or(a.use);
    return ERROR_SUCCESS;
}

} // namespace

DWORD SubstitutePlatform::lookupAccountSid(PSID sid, wchar_t* name, DWORD* nameSize, wchar_t* domain,
                                           DWORD* domainSize, SID_NAME_USE* use) {
    const Guard guard(mutex_);
    security::Sid wanted(sid);
    if (DWORD error = enter(Call::lookupAccountSid, wanted.toString())) return error;
    for (const security::Sid& gone : deleted_)
        if (gone == wanted) return ERROR_NONE_MAPPED;
    for (const LocalAccount& a : accounts_)
        if (a.sid == wanted) return answerAccount(a, name, nameSize, domain, domainSize, use);
    return real_.lookupAccountSid(sid, name, nameSize, domain, domainSize, use);
}

DWORD SubstitutePlatform::computerName(std::wstring* name) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::computerName, L"")) return error;
    return real_.computerName(name);
}

DWORD SubstitutePlatform::userFullName(const std::wstring& server, const std::wstring& user, std::wstring* fullName) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::userFullName, user)) return error;
    auto it = fullNames_.find(key(user));
    if (it == fullNames_.end()) return real_.userFullName(server, user, fullName);
    *fullName = it->second;
    return ERROR_SUCCESS;
}

DWORD SubstitutePlatform::lookupAccountName(const std::wstring& account, PSID sid, DWORD* sidSize, wchar_t* domain,
                                            DWORD* domainSize, SID_NAME_USE* use) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::lookupAccountName, account)) return error;
    for (const LocalAccount& a : accounts_) {
        std::wstring qualified = a.domain + L"\\" + a.name;
        if (key(account) != key(qualified) && key(account) != key(a.name)) continue;
        const bool fits = sid && domain && *sidSize >= a.sid.length() && *domainSize > a.domain.size();
        DWORD needSid = a.sid.length(), needDomain = static_cast<DWORD>(a.domain.size() + (fits ? 0 : 1));
        *sidSize = needSid;
        *domainSize = needDomain;
        if (!fits) return ERROR_INSUFFICIENT_BUFFER;
        std::memcpy(sid, a.sid.get(), a.sid.length());
        std::copy(a.domain.begin(), a.domain.end(), domain);
        domain[a.domain.size()] = L'\0';
        *use = a.use;
        return ERROR_SUCCESS;
    }
    return real_.lookupAccountName(account, sid, sidSize, domain, domainSize, use);
}

DWORD SubstitutePlatform::impersonateLoggedOnUser(HANDLE token) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::impersonateLoggedOnUser, L"")) return error;
    return real_.impersonateLoggedOnUser(token);
}

DWORD SubstitutePlatform::revertToSelf() {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::revertToSelf, L"")) return error;
    return real_.revertToSelf();
}

DWORD SubstitutePlatform::accessCheck(PSECURITY_DESCRIPTOR descriptor, HANDLE token, DWORD desired,
                                      GENERIC_MAPPING* mapping, PRIVILEGE_SET* privileges, DWORD* privilegesSize,
                                      DWORD* granted, BOOL* status) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::accessCheck, L"")) return error;
    return real_.accessCheck(descriptor, token, desired, mapping, privileges, privilegesSize, granted, status);
}

namespace {

bool enabledIn(const SubstituteToken& token, const wchar_t* privilege) {
    return std::find(token.enabled.begin(), token.enabled.end(), privilege) != token.enabled.end();
}

} // namespace

DWORD SubstitutePlatform::createProcess(std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                                        const std::wstring& directory, STARTUPINFOW* startup,
                                        PROCESS_INFORMATION* info) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::createProcess, L"")) return error;
    return real_.createProcess(commandLine, inheritHandles, flags, directory, startup, info);
}

DWORD SubstitutePlatform::createProcessAsUser(HANDLE token, std::wstring& commandLine, BOOL inheritHandles,
                                              DWORD flags, const std::wstring& directory, STARTUPINFOW* startup,
                                              PROCESS_INFORMATION* info) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::createProcessAsUser, L"")) return error;
    // SeIncreaseQuotaPrivilege always; SeAssignPrimaryTokenPrivilege unless the token is the
    // caller's own or a restricted copy of it, which this program never hands in (the child's
    // token is the account's).
    const SubstituteToken* by = caller();
    if (by && !(enabledIn(*by, SE_INCREASE_QUOTA_NAME) && enabledIn(*by, SE_ASSIGNPRIMARYTOKEN_NAME)))
        return ERROR_PRIVILEGE_NOT_HELD;
    return real_.createProcessAsUser(token, commandLine, inheritHandles, flags, directory, startup, info);
}

DWORD SubstitutePlatform::createProcessWithToken(HANDLE token, DWORD logonFlags, std::wstring& commandLine,
                                                 DWORD flags, const std::wstring& directory, STARTUPINFOW* startup,
                                                 PROCESS_INFORMATION* info) {
    const Guard guard(mutex_);
    if (DWORD error = enter(Call::createProcessWithToken, L"")) return error;
    const SubstituteToken* by = caller();
    if (by && !enabledIn(*by, SE_IMPERSONATE_NAME)) return ERROR_PRIVILEGE_NOT_HELD;
    return real_.createProcessWithToken(token, logonFlags, commandLine, flags, directory, startup, info);
}

} // namespace testsupport
