#include "commands/files/CreatedNames.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"

#include <windows.h>

namespace files {

bool CreatedNames::OrdinalNoCase::operator()(const std::wstring& a, const std::wstring& b) const {
    // The file system upper-cases code unit by code unit: no locale, no expansions. That is also
    // a strict order, as a set needs.
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

void CreatedNames::add(const std::wstring& name, const std::wstring& source, const std::wstring& destination) {
    if (!names_.insert(name).second)
        raiseRunTimeError(ERROR_ALREADY_EXISTS, L"Unable to copy (%s) to (%s)", text::displayPath(source),
                          text::displayPath(destination));
}

} // namespace files
