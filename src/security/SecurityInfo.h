// The owner, primary group and DACL of a named file or folder, and the absolute security
// descriptor built from such a triple (for AccessCheck).
#pragma once
#include "security/Acl.h"
#include "security/Sid.h"

#include <string>

namespace security {

struct SecurityInfo {
    Sid owner;
    Sid group;
    Acl dacl;                   // absent for a NULL DACL
    bool protectedDacl = false; // the DACL does not inherit from the parent
};

// "Unable to get the object (%s) security info" with the path when the system refuses.
SecurityInfo readSecurity(const std::wstring& path);

// An absolute SECURITY_DESCRIPTOR pointing into the SIDs and the ACL it was built from: those
// must outlive it.
class AbsoluteDescriptor {
public:
    AbsoluteDescriptor(const Sid& owner, const Sid& group, const Acl& dacl);
    // The DACL alone: an object created with it gets the creator's default owner and group.
    explicit AbsoluteDescriptor(const Acl& dacl);
    AbsoluteDescriptor(const AbsoluteDescriptor&) = delete;
    AbsoluteDescriptor& operator=(const AbsoluteDescriptor&) = delete;
    PSECURITY_DESCRIPTOR get() { return &descriptor_; }

private:
    void initialize();
    void setDacl(const Acl& dacl);

    SECURITY_DESCRIPTOR descriptor_{};
};

} // namespace security
