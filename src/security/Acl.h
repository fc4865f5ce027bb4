// An owned access-control list (revision 2) in its own heap buffer, or an absent one (no DACL:
// everyone holds every right). The ACE count is always read afresh from the buffer.
#pragma once
#include "security/Ace.h"

#include <optional>
#include <vector>

#include <windows.h>

namespace security {

class Acl {
public:
    // An absent ACL.
    Acl() = default;
    // A new ACL without entries ("Unable to allocate new ACL", "Unable to initialize ACL").
    static Acl emptyList();
    // A copy of `raw`; null gives an absent ACL.
    static Acl copyOf(PACL raw);

    bool absent() const { return !buffer_; }
    PACL get() const;

    DWORD count() const;
    Ace at(DWORD index) const;
    std::vector<Ace> aces() const;
    void append(const Ace& ace);
    // Appends every entry of `other` in order.
    void appendAll(const Acl& other);
    void remove(DWORD index);
    // Indexes of the entries that match `wanted`: same type and SID, same flags with
    // INHERITED_ACE ignored on both sides, and a folded mask containing the folded wanted mask.
    std::vector<DWORD> findMatching(const Ace& wanted) const;

private:
    ACL_SIZE_INFORMATION sizeInformation() const;
    // Makes room for `extra` more bytes of entries.
    void reserve(DWORD extra);

    std::optional<std::vector<DWORD>> buffer_;
};

} // namespace security
