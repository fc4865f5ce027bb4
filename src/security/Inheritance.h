// What a child file or folder inherits from its parent's DACL: the entries written to it, the
// entries compared with a list asked for it, and the lists a walk hands down.
#pragma once
#include "security/Acl.h"

namespace security {

// Whether a parent entry with these flags reaches a child of that kind at all: a file takes the
// object-inheritable entries, a folder those inheritable by objects or containers; an entry
// without inheritance flags (INHERITED_ACE aside) reaches neither.
bool reaches(BYTE flags, bool file);

// The inheritable entries of `parent` as a child file or directory receives them, each marked
// INHERITED_ACE: a file takes the object-inheritable ones with no inheritance flags; a directory
// takes the container-inheritable ones (flags kept, inherit-only cleared; none at all after
// NO_PROPAGATE_INHERIT_ACE) and keeps the object-only ones as inherit-only, for its files.
Acl inheritedAcl(const Acl& parent, bool directory);

// The parent's entries as a list asked for a child is compared with them (Acl::findMatching
// ignores INHERITED_ACE and compares folded masks): masks folded; to a folder, one carrying
// CONTAINER_INHERIT loses INHERIT_ONLY and the others pass with their flags; to a file the
// flags are INHERITED_ACE alone.
Acl passedOn(const Acl& parentDacl, bool file);

// A file's entries as a file can hold them: entries for subfolders only dropped, other inheriting
// entries made plain (flags 0), plain ones kept.
Acl normalisedForFile(const Acl& acl);

// Every entry of `folder`, flags kept, marked INHERITED_ACE: what --replace-on-children writes to
// every child alike.
Acl markedInherited(const Acl& folder);

// The lists the files and the subfolders of a folder receive.
struct ChildLists {
    Acl files;
    Acl folders;
};
// What inheritance gives the children of a folder holding `parent`: inheritedAcl for each kind.
ChildLists inheritedLists(const Acl& parent);
// What --replace-on-children gives them: markedInherited for both kinds. Applied to its own
// result it gives that result again, so every level of a walk receives the same list.
ChildLists markedInheritedLists(const Acl& parent);

} // namespace security
