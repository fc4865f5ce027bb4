// What one extraction created in its working directory, so that a refused or failed extraction
// takes exactly that away again and leaves nothing behind: neither half of a tree nor the part of
// a file written before a limit was reached. What was there before is never touched.
#pragma once
#include <string>
#include <unordered_set>
#include <vector>

namespace archivers {

class WrittenEntries {
public:
    // `directory` is the working directory, as an absolute path.
    explicit WrittenEntries(std::wstring directory);
    WrittenEntries(const WrittenEntries&) = delete;
    WrittenEntries& operator=(const WrittenEntries&) = delete;
    // Removes what was noted, unless kept.
    ~WrittenEntries();

    // Notes, before the entry is written, every part of its relative path that does not exist
    // yet (its folders and itself): those are what the write creates. False when the entry
    // itself exists already (and was not written by this extraction).
    bool aboutToWrite(const std::wstring& relative);
    // The extraction is complete: what was written stays.
    void keep() { created_.clear(); }

private:
    std::wstring base_;
    std::unordered_set<std::wstring> seen_;
    std::vector<std::wstring> created_; // parents before children
};

} // namespace archivers
