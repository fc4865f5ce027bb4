// The long form of a path as the policy compares it: every short (8.3) name expanded and every
// existing component spelled as its directory lists it, a missing tail judged where it would be.
#pragma once
#include "paths/NormalPath.h"

#include <string>

namespace paths {

bool isVolumeRoot(const std::wstring& path);

// The long path for allow checking: the long path of the nearest existing ancestor-or-self.
std::wstring allowCheckPath(const std::wstring& base, const std::wstring& input);

// The whole input in long form: the long path of its nearest existing ancestor (every short name
// expanded) with the missing tail kept.
NormalPath longForm(const std::wstring& input);

// The long form, split: the long path of the nearest existing ancestor-or-self, and the missing
// tail below it.
struct LongAncestor {
    std::wstring path;
    std::wstring tail;
    NormalPath whole() const;
};
LongAncestor longAncestor(const std::wstring& base, const std::wstring& input);

// Lists every prefix of the normalised path once ("*.*"), from the root down to the path itself,
// up to the first that cannot be listed: walking down the tree this way lets a long- or short-path
// query through folders that only grant traversal.
void listPrefixes(const std::wstring& path);

} // namespace paths
