// The command line of one archiver operation, built from the panel's template for it.
#pragma once
#include <string>
#include <vector>

namespace files {

// What the switches of a template stand for.
struct ArchiveSwitchValues {
    std::wstring archive;               // %%A
    std::vector<std::wstring> fileList; // %%L
    std::wstring password;              // %%P
    std::wstring workDirectory;         // %%W
};

// The template's pieces are blank-separated words and "{...}" groups (kept with their blanks);
// "%%X" inside a piece is a switch: A the archive, L the file list (written with "/" when the
// template holds %%F or %%f), P and W their values. A piece holding a switch whose value is empty
// is dropped with it. Paths are quoted. Another letter is written to the message output as
// "Unsupported switch: %c" and ignored; a "%%" without its letter raises E_INVALIDARG. The pieces
// are joined with one blank.
std::wstring expandArchiveTemplate(const std::wstring& pattern, const ArchiveSwitchValues& values);

// `text` in double quotes when it holds a blank or a quote-sensitive character, as the C runtime
// of the started program splits its command line.
std::wstring quoteArgument(const std::wstring& text);

} // namespace files
