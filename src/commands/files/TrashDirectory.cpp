#include "commands/files/TrashDirectory.h"

#include "app/Exceptions.h"
#include "commands/files/CreateDirectory.h"
#include "commands/files/FileHelpers.h"
#include "security/Acl.h"
#include "security/SecurityInfo.h"

namespace files {
namespace {


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

void ensureDirectory(const paths::NormalPath& path, TrashSecurity& security) {
    if (isDirectory(path)) return;
    try {
        createDirectory(path, security.attributes(), 15);
    } catch (...) {
        if (!isDirectory(path)) throw; // another process may have made it meanwhile
    }
}

} // namespace

paths::NormalPath trashDirectory(const paths::NormalPath& path) {
    try {
        TrashSecurity security;
        paths::NormalPath recycler = path.root().join(L"Recycler");
        ensureDirectory(recycler, security);
        paths::NormalPath trash = recycler.join(L"{86066D57-9347-46a7-B4DB-971D9EF36D29}");
        ensureDirectory(trash, security);
        return trash;
    } catch (const std::exception&) {
        return {};
    } catch (const vexception&) {
        return {};
    }
}

} // namespace files
