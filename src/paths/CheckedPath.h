// An input path after the allowed-path policy has judged it: what every later step acts on.
#pragma once
#include "paths/NormalPath.h"

#include <string>

namespace paths {

struct CheckedPath {
    // The text as the caller gave it.
    std::wstring given;
    // Its normal form: what the operation opens, lists and changes.
    NormalPath normal;
    // The long form the policy compared (short names expanded, the directory's own spelling of
    // every existing component): what messages show.
    NormalPath longForm;

    std::wstring display() const { return longForm.display(); }
};

} // namespace paths
