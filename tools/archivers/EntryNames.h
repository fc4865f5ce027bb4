// The names an archive's entries take below the extraction directory, compared as the file
// system compares them: two entries that Windows would put on one name must not replace or merge
// into each other silently.
#pragma once
#include <string>
#include <unordered_map>

namespace archivers {

class EntryNames {
public:
    // Adds an entry's relative path (as relativeEntryPath gives it); its folders are added as
    // folders. Gives the reason when the entry cannot stand beside those before it: a second
    // entry of the same name (only folders may repeat), a file where a folder is, or a folder or
    // file below a file. nullptr when it can.
    const char* add(const std::wstring& relative, bool directory);

private:
    std::unordered_map<std::wstring, bool> directories_; // upper-cased path -> is a folder
};

} // namespace archivers
