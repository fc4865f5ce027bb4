#include "commands/files/TrashDirectory.h"

#include "app/Exceptions.h"
#include "commands/PathPolicy.h"
#include "commands/files/CreateDirectory.h"
#include "commands/files/FileHelpers.h"
#include "security/Acl.h"
#include "security/SecurityInfo.h"

namespace files {
namespace {

const wchar_t kPrefix[] = L"\\\\?\\";

// The trash's DACL: administrators and LocalSystem hold everything (inherited by all below);
// everyone may add to the trash and delete there, but neither list nor read what others put in.
class TrashSecurity {
public:
    TrashSecurity()
        : dacl_(dacl()), descriptor_(dacl_), attributes_{sizeof attributes_, descriptor_.get(), FALSE} {}
    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

private:
    static security::Acl dacl() {
        security::Acl dacl = security::Acl::emptyList();
        const security::Sid everyone = security::Sid::fromString(L"S-1-1-0");
        dacl.append(security::Ace::allowed(GENERIC_ALL, security::Sid::fromString(L"S-1-5-32-544"),
                                           OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE));
        dacl.append(security::Ace::allowed(GENERIC_ALL, security::Sid::fromString(L"S-1-5-18"),
                                           OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE));
        dacl.append(security::Ace::allowed(0x1300E7, everyone, CONTAINER_INHERIT_ACE));
        dacl.append(security::Ace::allowed(0x130080, everyone, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE));
        return dacl;
    }

    security::Acl dacl_;
    // Only the DACL is given: owner and group of the new folder stay the creator's defaults.
    security::AbsoluteDescriptor descriptor_;
    SECURITY_ATTRIBUTES attributes_;
};

void ensureDirectory(const std::wstring& path, TrashSecurity& security) {
    if (isDirectory(path)) return;
    try {
        createDirectory(path, security.attributes(), 15);
    } catch (...) {
        if (!isDirectory(path)) throw; // another process may have made it meanwhile
    }
}

} // namespace

std::wstring volumeRoot(const std::wstring& input) {
    std::wstring path = pathpolicy::normalizePath(L"", input);
    std::wstring rest = path.compare(0, 4, kPrefix) == 0 ? path.substr(4) : path;
    if (rest.size() >= 2 && rest[1] == L':') return kPrefix + rest.substr(0, 2) + L"\\";
    // "UNC\server\share\...": the share is the root.
    size_t server = rest.find(L'\\', 0), share = server == std::wstring::npos ? server : rest.find(L'\\', server + 1);
    size_t end = share == std::wstring::npos ? share : rest.find(L'\\', share + 1);
    return kPrefix + (end == std::wstring::npos ? rest : rest.substr(0, end)) + L"\\";
}

std::wstring trashDirectory(const std::wstring& path) {
    try {
        TrashSecurity security;
        std::wstring recycler = volumeRoot(path) + L"Recycler";
        ensureDirectory(recycler, security);
        std::wstring trash = recycler + L"\\{86066D57-9347-46a7-B4DB-971D9EF36D29}";
        ensureDirectory(trash, security);
        return trash;
    } catch (const std::exception&) {
        return {};
    } catch (const vexception&) {
        return {};
    }
}

} // namespace files
