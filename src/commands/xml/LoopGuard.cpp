#include "commands/xml/LoopGuard.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/Junction.h"
#include "commands/files/OpenDirectory.h"

#include <algorithm>

namespace {

std::wstring placeKey(const std::wstring& path) {
    std::wstring key = text::displayPath(paths::trimmed(path));
    while (key.size() > 3 && key.back() == L'\\') key.pop_back();
    if (!key.empty())
        CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

// `outer` is `inner` or a folder above it.
bool contains(const std::wstring& outer, const std::wstring& inner) {
    if (inner.size() < outer.size() || inner.compare(0, outer.size(), outer) != 0) return false;
    return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

} // namespace

LoopGuard::LoopGuard(const paths::NormalPath& start) { places_.push_back(placeKey(start)); }

std::wstring LoopGuard::targetOf(const paths::NormalPath& path) {
    try {
        platform::FileHandle handle = files::openTreeDirectory(path, files::Disposition::OpenExisting, 1);
        return files::readJunctionTarget(handle.get(), path);
    } catch (const std::exception&) {
        return {};
    } catch (const vexception&) {
        return {};
    }
}

bool LoopGuard::enter(const paths::NormalPath& path, const files::DirectoryEntry& entry) {
    std::wstring place;
    if (entry.isReparsePoint) {
        std::wstring target = targetOf(path);
        if (target.empty()) return false;
        place = placeKey(target);
        if (std::any_of(places_.begin(), places_.end(), [&](const std::wstring& p) { return contains(place, p); }))
            return false;
    } else {
        const std::wstring& parent = places_.back();
        place = parent + (parent.back() == L'\\' ? L"" : L"\\") + placeKey(entry.name);
    }
    places_.push_back(std::move(place));
    return true;
}

void LoopGuard::leave() {
    if (places_.size() > 1) places_.pop_back();
}
