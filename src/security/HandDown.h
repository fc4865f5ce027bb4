// The walk that hands a folder's entries down to what lies below it, for --replace-on-children
// and for trees moved in by unpacking. Every write reaches the object itself; junctions and
// symbolic links are neither written nor entered, since their security is the place they lead
// to, which is not this folder's to hand down to.
#pragma once
#include "security/Inheritance.h"
#include "security/SecurityInfo.h"

#include <functional>
#include <string>

namespace security {

// Whether the walk may write a subfolder and enter it, judged on the security read from it (the
// caller's WRITE_DAC, an access check that sits above this layer).
using FolderGate = std::function<bool(const SecurityInfo& folder)>;
// The lists a folder's files and subfolders receive, from the list that folder holds.
using HandDownRule = ChildLists (*)(const Acl& held);
// Which entries directly in the walked folder are walked, by name and kind (true for a folder).
using EntrySelection = std::function<bool(const std::wstring& name, bool folder)>;

// Writes the lists of `rule` (inheritance left on) to the files and subfolders of `folder`, the
// lists following from `folder`'s own DACL (entries of deleted accounts dropped), and so on all
// the way down: a subfolder is written and entered only when `mayChange` allows it, judged on a
// handle of the subfolder itself that keeps it in place while the walk is inside. `folder` itself
// is not written, and hands nothing down when it is a reparse point or has no DACL. With
// `selected`, only the entries it picks directly in `folder` are walked (all below them). A
// listing or an open that fails raises "Unable to list the folder %s". The number of objects
// written.
size_t handDown(const std::wstring& folder, HandDownRule rule, const FolderGate& mayChange,
                const EntrySelection& selected = {});

} // namespace security
