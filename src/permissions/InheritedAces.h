// What a parent folder's DACL passes on to a child, and the child-side normalisation of files.
#pragma once
#include "security/Acl.h"

namespace permissions {

// The parent's entries (masks folded) as they reach a child folder or file: an entry without
// inheritance flags passes nothing; to a folder, one carrying CONTAINER_INHERIT loses
// INHERIT_ONLY, others pass unchanged; to a file only OBJECT_INHERIT entries pass, with the flags
// INHERITED_ACE alone.
security::Acl passedOn(const security::Acl& parentDacl, bool file);

// Whether a parent entry reaches a child of that kind at all.
bool reaches(BYTE flags, bool file);

// A file's entries as a file can hold them: entries for subfolders only dropped, other inheriting
// entries made plain (flags 0), plain ones kept.
security::Acl normalisedForFile(const security::Acl& acl);

} // namespace permissions
