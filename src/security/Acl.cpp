#include "security/Acl.h"

#include "app/Exceptions.h"
#include "security/FileRights.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace security {
namespace {

std::vector<DWORD> allocate(DWORD bytes) {
    try {
        return std::vector<DWORD>((bytes + 3) / 4);
    } catch (const std::bad_alloc&) {
        raiseOsError(L"Unable to allocate new ACL", ERROR_OUTOFMEMORY);
    }
}

} // namespace

Acl Acl::emptyList() {
    Acl acl;
    acl.buffer_ = allocate(sizeof(ACL));
    if (!InitializeAcl(acl.get(), sizeof(ACL), ACL_REVISION))
        raiseOsError(L"Unable to initialize ACL", GetLastError());
    return acl;
}

Acl Acl::copyOf(PACL raw) {
    Acl acl;
    if (raw == nullptr) return acl;
    ACL_SIZE_INFORMATION size{};
    if (!IsValidAcl(raw) || !GetAclInformation(raw, &size, sizeof size, AclSizeInformation))
        raiseOsError(L"Unable to get ACL size", IsValidAcl(raw) ? GetLastError() : ERROR_INVALID_ACL);
    acl.buffer_ = allocate(raw->AclSize);
    std::memcpy(acl.buffer_->data(), raw, raw->AclSize);
    return acl;
}

PACL Acl::get() const {
    return buffer_ ? reinterpret_cast<PACL>(const_cast<DWORD*>(buffer_->data())) : nullptr;
}

ACL_SIZE_INFORMATION Acl::sizeInformation() const {
    ACL_SIZE_INFORMATION size{};
    if (absent()) return size;
    if (!GetAclInformation(get(), &size, sizeof size, AclSizeInformation))
        raiseOsError(L"Unable to get ACL size", GetLastError());
    return size;
}

DWORD Acl::count() const {
    return sizeInformation().AceCount;
}

Ace Acl::at(DWORD index) const {
    void* raw = nullptr;
    if (absent() || !GetAce(get(), index, &raw))
        raiseOsError(format(L"Unable to get ACL ACE (%d)", index),
                     absent() ? ERROR_INVALID_ACL : GetLastError());
    return Ace(raw);
}

std::vector<Ace> Acl::aces() const {
    std::vector<Ace> out;
    for (DWORD i = 0, n = count(); i < n; ++i)
        out.push_back(at(i));
    return out;
}

void Acl::reserve(DWORD extra) {
    if (absent()) *this = emptyList();
    ACL_SIZE_INFORMATION size = sizeInformation();
    if (size.AclBytesFree >= extra) return;
    DWORD bytes = size.AclBytesInUse + extra;
    if (bytes > 0xFFFC) raiseOsError(L"Unable to add ACE to ACL", ERROR_ALLOTTED_SPACE_EXCEEDED);
    std::vector<DWORD> grown = allocate(bytes);
    std::memcpy(grown.data(), buffer_->data(), size.AclBytesInUse);
    reinterpret_cast<PACL>(grown.data())->AclSize = static_cast<WORD>(grown.size() * 4);
    buffer_ = std::move(grown);
}

void Acl::append(const Ace& ace) {
    reserve(ace.size());
    // Object entries need the directory-service revision; the list takes the higher of the two.
    BYTE revision = std::max<BYTE>(get()->AclRevision, ace.isObjectType() ? ACL_REVISION_DS : ACL_REVISION);
    get()->AclRevision = revision;
    if (!AddAce(get(), revision, MAXDWORD, const_cast<void*>(ace.data()), ace.size()))
        raiseOsError(L"Unable to add ACE to ACL", GetLastError());
}

void Acl::appendAll(const Acl& other) {
    for (const Ace& ace : other.aces())
        append(ace);
}

void Acl::remove(DWORD index) {
    if (absent() || !DeleteAce(get(), index))
        raiseOsError(format(L"Unable to delete ACL ACE (%d)", index),
                     absent() ? ERROR_INVALID_ACL : GetLastError());
}

std::vector<DWORD> Acl::findMatching(const Ace& wanted) const {
    std::vector<DWORD> out;
    const Sid wantedSid = wanted.sid();
    const DWORD wantedMask = foldGeneric(wanted.mask());
    const BYTE wantedFlags = wanted.flags() & ~INHERITED_ACE;
    for (DWORD i = 0, n = count(); i < n; ++i) {
        Ace ace = at(i);
        if (ace.type() != wanted.type() || (ace.flags() & ~INHERITED_ACE) != wantedFlags) continue;
        if ((foldGeneric(ace.mask()) & wantedMask) != wantedMask || !(ace.sid() == wantedSid)) continue;
        out.push_back(i);
    }
    return out;
}

} // namespace security
