#include "commands/files/FileType.h"

#include "app/Log.h"
#include "commands/files/ContentType.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/FilePrefix.h"
#include "commands/files/OpenFile.h"
#include "platform/Platform.h"

namespace {

// The kind of a program GetBinaryTypeW recognises; empty for MS-DOS programs and unknown kinds,
// which go on to the content tests.
std::wstring programKind(DWORD type) {
    switch (type) {
    case SCS_32BIT_BINARY:
        return L"A 32-bit Windows-based application";
    case SCS_WOW_BINARY:
        return L"A 16-bit Windows-based application";
    case SCS_PIF_BINARY:
        return L"A PIF file that executes an MS-DOS \u2013 based application";
    case SCS_POSIX_BINARY:
        return L"A POSIX \u2013 based application";
    case SCS_OS216_BINARY:
        return L"A 16-bit OS/2-based application";
    case SCS_64BIT_BINARY:
        return L"A 64-bit Windows-based application";
    default:
        return L"";
    }
}

// The part of the file name after its last ".", or "unknown".
std::wstring extensionOf(const std::wstring& path) {
    std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? L"unknown" : name.substr(dot + 1);
}

} // namespace

File::File() : GetoptCommand(L"file", L"Usage:\nfile anyfile...\n", "L") {}

bool File::takeOption(int, const char*) {
    return true;
} // -L is accepted and ignored

bool File::takeOperands(const Operands& operands) {
    if (!takeSinglePath(operands, path)) return false;
    givenPath = path;
    return true;
}

namespace filetype {

Detection detect(const paths::NormalPath& path) {
    if (!files::isDirectory(path)) return detectFile(path);
    Detection d;
    d.kind = L"directory";
    return d;
}

Detection detectFile(const paths::NormalPath& path) {
    Detection d;
    DWORD type = 0;
    if (platform::current().getBinaryType(path, &type) == ERROR_SUCCESS && !programKind(type).empty()) {
        d.kind = programKind(type);
    } else {
        platform::FileHandle file =
            files::openFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, 1);
        files::FilePrefix prefix(file.get());
        contenttype::Answer answer = contenttype::classify(prefix.content(), prefix.truncated());
        d.encoding = answer.encoding;
        d.kind = answer.kind;
        if (answer.named) d.extension = extensionOf(path);
    }
    return d;
}

} // namespace filetype

void File::execute() {
    filetype::Detection d = filetype::detect(normal(0));
    std::wstring line = L"(" + givenPath + L"): ";
    line += d.encoding.empty() && d.extension.empty() ? d.kind : d.encoding + L" " + d.extension + L" " + d.kind;
    LogManager::instance().log(2, L"%s\n", line);
}
