#include "security/SecurityInfo.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Handle.h"
#include "platform/Platform.h"

namespace security {

SecurityInfo readSecurity(const std::wstring& path) {
    PSID owner = nullptr, group = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    DWORD error = platform::current().getNamedSecurityInfo(
        path, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
        &group, &dacl, &raw);
    platform::LocalMemory descriptor(raw);
    if (error)
        raiseOsError(format(L"Unable to get the object (%s) security info", text::displayPath(path)), error);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(raw, &control, &revision))
        raiseOsError(format(L"Unable to get the object (%s) security info", text::displayPath(path)),
                     GetLastError());
    return {Sid(owner), Sid(group), Acl::copyOf(dacl), (control & SE_DACL_PROTECTED) != 0};
}

AbsoluteDescriptor::AbsoluteDescriptor(const Sid& owner, const Sid& group, const Acl& dacl) {
    initialize();
    if (!SetSecurityDescriptorOwner(&descriptor_, owner.get(), FALSE))
        raiseOsError(L"Unable to set SECURITY_DESCRIPTOR owner", GetLastError());
    if (!SetSecurityDescriptorGroup(&descriptor_, group.get(), FALSE))
        raiseOsError(L"Unable to set SECURITY_DESCRIPTOR group", GetLastError());
    setDacl(dacl);
}

AbsoluteDescriptor::AbsoluteDescriptor(const Acl& dacl) {
    initialize();
    setDacl(dacl);
}

void AbsoluteDescriptor::initialize() {
    if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION))
        raiseOsError(L"Unable to initialize SECURITY_DESCRIPTOR", GetLastError());
}

void AbsoluteDescriptor::setDacl(const Acl& dacl) {
    if (!SetSecurityDescriptorDacl(&descriptor_, TRUE, dacl.get(), FALSE))
        raiseOsError(L"Unable to set SECURITY_DESCRIPTOR DACL", GetLastError());
}

} // namespace security
