#include "commands/files/Junction.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/OpenDirectory.h"
#include "platform/Platform.h"
#include "platform/ReparseBuffer.h"

#include <cstring>
#include <new>
#include <vector>

namespace files {
namespace {

using platform::kMountPointTag;
using platform::kSymbolicLinkTag;
using platform::MountPointHead;

constexpr DWORD kReadBufferSize = 65551;
constexpr ULONG kSymlinkRelative = 1; // SYMLINK_FLAG_RELATIVE

std::vector<BYTE> allocate(size_t bytes) {
    try {
        return std::vector<BYTE>(bytes);
    } catch (const std::bad_alloc&) {
        raiseRunTimeError(ERROR_NOT_ENOUGH_MEMORY, L"Unable to allocate buffer for reparse data");
    }
}

LARGE_INTEGER fileIndex(HANDLE handle) {
    LARGE_INTEGER index{};
    if (DWORD error = platform::current().fileIndex(handle, &index)) raiseRunTimeError(error, L"Unable to get file id");
    return index;
}

// A relative link's text resolved from the link's folder ("\\x" from the root of its volume).
std::wstring relativeTarget(const paths::NormalPath& link, const std::wstring& text) {
    paths::NormalPath folder = !text.empty() && text[0] == L'\\' ? link.root() : link.parent();
    if (folder.empty()) raiseRunTimeError(ERROR_INVALID_REPARSE_DATA, L"Unable to get reparse data");
    return paths::normalizePath(folder, text);
}

} // namespace

std::wstring readJunctionTarget(HANDLE directory, const paths::NormalPath& linkPath) {
    std::vector<BYTE> buffer = allocate(kReadBufferSize);
    DWORD returned = 0;
    if (DWORD error = platform::current().deviceIoControl(directory, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                                                          kReadBufferSize, &returned))
        raiseRunTimeError(error, L"Unable to get reparse data");
    MountPointHead head{};
    if (returned < sizeof head) raiseRunTimeError(ERROR_INVALID_REPARSE_DATA, L"Unable to get reparse data");
    std::memcpy(&head, buffer.data(), sizeof head);
    // The data comes from the file system: every offset is checked against what was returned.
    const bool symbolicLink = head.tag == kSymbolicLinkTag;
    size_t pathBuffer = sizeof head + (symbolicLink ? sizeof(ULONG) : 0);
    size_t begin = pathBuffer + head.substituteOffset, end = begin + head.substituteLength;
    if (end > returned || head.substituteLength == 0 || head.substituteLength % 2)
        raiseRunTimeError(ERROR_INVALID_REPARSE_DATA, L"Unable to get reparse data");
    std::wstring target(head.substituteLength / 2, L'\0');
    std::memcpy(target.data(), buffer.data() + begin, head.substituteLength);
    ULONG flags = 0;
    if (symbolicLink) std::memcpy(&flags, buffer.data() + sizeof head, sizeof flags);
    // A relative symbolic link names a place from the link's own folder: the system resolves it
    // there, never against the current directory of whoever follows it.
    if (symbolicLink && (flags & kSymlinkRelative)) return relativeTarget(linkPath, target);
    if (target.size() < 4 || target.compare(0, 4, L"\\??\\") != 0)
        raiseRunTimeError(ERROR_INVALID_REPARSE_DATA, L"Unable to get reparse data");
    target[1] = L'\\'; // \??\C:\x is the Win32 long path \\?\C:\x
    return target;
}

void makeJunction(HANDLE directory, const paths::NormalPath& target, int attempts) {
    const size_t length = target.str().size();
    if (length < 4 || length > (0xFFFF - 12) / 2 - 1)
        raiseRunTimeError(ERROR_INVALID_PARAMETER, L"Unable to create reparse point (%s)",
                          text::displayPath(target));
    // Head, the substitute name with its null, an empty print name with its null.
    const DWORD dataLength = DWORD(2 * length + 12);
    std::vector<BYTE> buffer = allocate(dataLength + 8);

    {
        // A junction only ever names a folder that is there: making one never creates its target.
        platform::FileHandle targetHandle = openTreeDirectory(target, Disposition::OpenExisting, attempts);
        if (fileIndex(directory).QuadPart == fileIndex(targetHandle.get()).QuadPart)
            raiseRunTimeError(0, L"Recursive reparse point (%s)", text::displayPath(target));
    }

    MountPointHead head{kMountPointTag, WORD(dataLength), 0, 0, WORD(2 * length), WORD(2 * length + 2), 0};
    std::memcpy(buffer.data(), &head, sizeof head);
    std::wstring substitute = L"\\??\\" + target.str().substr(4);
    std::memcpy(buffer.data() + sizeof head, substitute.c_str(), 2 * (length + 1));
    DWORD returned = 0;
    if (DWORD error = platform::current().deviceIoControl(directory, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                                          dataLength + 8, nullptr, 0, &returned))
        raiseRunTimeError(error, L"Unable to create reparse point (%s)", text::displayPath(target));
}

void createJunction(const paths::NormalPath& path, const paths::NormalPath& target, int attempts) {
    platform::FileHandle made = openTreeDirectory(path, Disposition::CreateNew, attempts);
    try {
        makeJunction(made.get(), target, attempts);
    } catch (...) {
        made.reset();
        platform::current().removeDirectory(path);
        throw;
    }
}

} // namespace files
