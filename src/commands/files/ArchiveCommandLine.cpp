#include "commands/files/ArchiveCommandLine.h"

#include "app/Exceptions.h"
#include "app/Log.h"

#include <algorithm>

namespace files {
namespace {

struct Piece {
    std::wstring text;
    bool grouped = false;
};

// Blank-separated words outside braces, whole groups inside them.
std::vector<Piece> splitPieces(const std::wstring& pattern) {
    std::vector<Piece> pieces;
    std::wstring current;
    bool inGroup = false;
    auto flush = [&](bool grouped) {
        if (!current.empty()) pieces.push_back({current, grouped});
        current.clear();
    };
    for (wchar_t c : pattern) {
        if (c == L'{' && !inGroup) {
            flush(false);
            inGroup = true;
        } else if (c == L'}' && inGroup) {
            flush(true);
            inGroup = false;
        } else if (c == L' ' && !inGroup) {
            flush(false);
        } else {
            current += c;
        }
    }
    flush(inGroup);
    return pieces;
}

std::wstring fileList(const ArchiveSwitchValues& values, bool forwardSlashes) {
    std::wstring list;
    for (std::wstring name : values.fileList) {
        if (forwardSlashes) std::replace(name.begin(), name.end(), L'\\', L'/');
        if (!list.empty()) list += L' ';
        list += quoteArgument(name);
    }
    return list;
}

std::wstring archiveArgument(const ArchiveSwitchValues& values) {
    return quoteArgument(values.archive);
}

} // namespace

std::wstring quoteArgument(const std::wstring& text) {
    if (!text.empty() && text.find_first_of(L" \t\"") == std::wstring::npos) return text;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            // Backslashes before a quote escape it: doubled, then the quote escaped itself.
            if (c == L'"') quoted.append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, L'\\'); // before the closing quote
    return quoted + L"\"";
}

std::wstring expandArchiveTemplate(const std::wstring& pattern, const ArchiveSwitchValues& values) {
    const bool forwardSlashes =
        pattern.find(L"%%F") != std::wstring::npos || pattern.find(L"%%f") != std::wstring::npos;
    std::wstring line;
    for (const Piece& piece : splitPieces(pattern)) {
        std::wstring out;
        bool dropped = false;
        for (size_t i = 0; i < piece.text.size(); ++i) {
            if (piece.text.compare(i, 2, L"%%") != 0) {
                out += piece.text[i];
                continue;
            }
            if (i + 2 >= piece.text.size())
                raiseOsError(L"archive command template '" + pattern + L"'",
                             static_cast<DWORD>(E_INVALIDARG));
            wchar_t letter = piece.text[i + 2];
            i += 2;
            std::wstring value;
            switch (letter) {
            case L'A':
                value = archiveArgument(values);
                break;
            case L'L':
                value = fileList(values, forwardSlashes);
                break;
            case L'P':
                value = values.password;
                break;
            case L'W':
                value = values.workDirectory;
                break;
            case L'F':
            case L'f':
                continue;
            default:
                LogManager::instance().log(0, L"Unsupported switch: %c", letter);
                continue;
            }
            if (value.empty()) dropped = true;
            out += value;
        }
        if (dropped || out.empty()) continue;
        if (!line.empty()) line += L' ';
        line += out;
    }
    return line;
}

} // namespace files
