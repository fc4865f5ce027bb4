// The names a tree copy made in one destination folder. A source folder may hold names that
// differ only in letter case (case-sensitive folders, shares of other systems); in the
// destination they are one name, and the later would silently replace what the copy made.
#pragma once
#include <set>
#include <string>

namespace files {

class CreatedNames {
public:
    // Records that the copy makes `name` in its folder. A name equal to one already made (by the
    // file system's comparison: ordinal, letter case ignored) raises "Unable to copy (%s) to (%s)"
    // (`source`, `destination`) with ERROR_ALREADY_EXISTS before anything is written.
    void add(const std::wstring& name, const std::wstring& source, const std::wstring& destination);

private:
    struct OrdinalNoCase {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    std::set<std::wstring, OrdinalNoCase> names_;
};

} // namespace files
