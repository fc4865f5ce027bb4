#include "ManagementService.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "ipc/Serializer.h"
#include "ipc/TarnisSrvProtocol.h"
#include "platform/Handle.h"
#include "ipc/AclInheritanceSource.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace standin {
namespace {

constexpr DWORD kMaxRequest = 64 * 1024;

const std::wstring& lookup(const std::map<std::wstring, std::wstring>& values, const std::wstring& key,
                           const wchar_t* what) {
    auto it = values.find(key);
    if (it == values.end()) raisePlainError(format(L"Unknown %s %s", what, key), {L"", "standin::lookup", __LINE__});
    return it->second;
}

void requireEnd(const vserializer::reader& in) {
    if (!in.atEnd())
        raisePlainError(L"Malformed request: data after the arguments", {L"", "standin::requireEnd", __LINE__});
}

std::wstring guidText(const GUID& id) {
    wchar_t text[40] = {};
    StringFromGUID2(id, text, 40);
    return text;
}

} // namespace

Settings Settings::parse(std::string_view utf8) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    Settings settings;
    std::map<std::wstring, std::wstring>* section = nullptr;
    std::wstring extSection;
    bool inExt = false;
    bool inInheritance = false;
    int number = 0;
    while (!utf8.empty()) {
        size_t end = utf8.find('\n');
        std::string_view line = utf8.substr(0, end);
        utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        std::wstring wide = text::fromUtf8(line);
        if (wide.front() == L'[' && wide.back() == L']') {
            std::wstring name = wide.substr(1, wide.size() - 2);
            inExt = name.rfind(L"ext:", 0) == 0;
            extSection = inExt ? name.substr(4) : L"";
            inInheritance = name == L"inheritance";
            section = name == L"strings"      ? &settings.strings
                      : name == L"passwords"  ? &settings.passwords
                      : name == L"components" ? &settings.components
                      : name == L"service"    ? &settings.service
                      : name == L"runas"      ? &settings.runas
                                              : nullptr;
            if (!section && !inExt && !inInheritance)
                raisePlainError(format(L"Unknown section [%s] at line %d", name, number),
                                {L"", "standin::Settings::parse", __LINE__});
            continue;
        }
        size_t equals = wide.find(L'=');
        if (equals == std::wstring::npos || (!section && !inExt && !inInheritance))
            raisePlainError(format(L"Line %d is not NAME=value inside a section", number),
                            {L"", "standin::Settings::parse", __LINE__});
        std::wstring key = wide.substr(0, equals), value = wide.substr(equals + 1);
        if (inInheritance) {
            // "GAP ANCESTOR": the gap as a decimal number, one space, the ancestor's name.
            size_t space = value.find(L' ');
            wchar_t* end = nullptr;
            long gap = std::wcstol(value.c_str(), &end, 10);
            if (space == std::wstring::npos || end != value.c_str() + space)
                raisePlainError(format(L"Line %d is not PATH=GAP ANCESTOR", number),
                                {L"", "standin::Settings::parse", __LINE__});
            settings.inheritance[pathKey(key)].emplace_back(static_cast<int>(gap), value.substr(space + 1));
        } else if (inExt) {
            settings.extStrings[{extSection, key}] = value;
        } else {
            (*section)[key] = value;
        }
    }
    return settings;
}

std::wstring Settings::pathKey(std::wstring path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return path;
}

Settings Settings::load(const std::wstring& path) {
    platform::FileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) raiseOsError(L"Unable to open settings file " + path, GetLastError(), {L"", "standin::Settings::load", __LINE__});
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    return parse(content);
}

std::string ManagementService::perform(std::string_view request) {
    vserializer::reader in(request);
    GUID operation = in.readGuid();
    std::wstring result;
    std::lock_guard<std::mutex> hold(lock_);
    if (operation == RunTime::AclInheritanceSource::kOperation) {
        std::wstring path = in.readText();
        requireEnd(in);
        std::vector<RunTime::InheritanceEntry> entries;
        auto it = settings_.inheritance.find(Settings::pathKey(path));
        if (it != settings_.inheritance.end())
            for (const auto& [gap, ancestor] : it->second) entries.push_back({gap, ancestor});
        return RunTime::AclInheritanceSource::encode(entries);
    } else if (operation == tarnissrv::kGetString) {
        result = lookup(settings_.strings, in.readText(), L"setting");
    } else if (operation == tarnissrv::kGetExtString) {
        std::wstring section = in.readText(), name = in.readText();
        auto it = settings_.extStrings.find({section, name});
        if (it == settings_.extStrings.end())
            raisePlainError(format(L"Unknown extended setting %s in section %s", name, section),
                            {L"", "standin::ManagementService::perform", __LINE__});
        result = it->second;
    } else if (operation == tarnissrv::kGetPassword) {
        result = lookup(settings_.passwords, in.readText(), L"password");
    } else if (operation == tarnissrv::kSetPassword) {
        std::wstring name = in.readText(), password = in.readText();
        requireEnd(in);
        settings_.passwords[name] = password;
        return {}; // an empty answer
    } else if (operation == tarnissrv::kComponentInfo) {
        std::wstring package = in.readText();
        int kind = in.readInt();
        result = lookup(settings_.components, format(L"%s:%d", package, kind), L"component information");
    } else {
        raisePlainError(L"Unknown operation " + guidText(operation), {L"", "standin::ManagementService::perform", __LINE__});
    }
    requireEnd(in);
    return vserializer::writer().putText(result).bytes();
}

std::string ManagementService::answer(std::string_view request) {
    try {
        return perform(request);
    } catch (const vexception& e) {
        return vserializer::writer().putError(e.message()).bytes();
    }
}

void ManagementService::serve(Connection& connection) {
    std::vector<char> buffer(kMaxRequest);
    auto framing = settings_.service.find(L"answers");
    bool oneMessage = framing != settings_.service.end() && framing->second == L"one-message";
    auto send = [&](const std::string& block) {
        uint32_t length = static_cast<uint32_t>(block.size());
        if (oneMessage) {
            std::string message(reinterpret_cast<const char*>(&length), sizeof length);
            message += block;
            return connection.write(message.data(), static_cast<DWORD>(message.size()));
        }
        return connection.write(&length, sizeof length) && (block.empty() || connection.write(block.data(), length));
    };
    for (;;) {
        std::optional<DWORD> got = connection.read(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (!got) return;
        uint32_t length = 0;
        if (*got != sizeof length) {
            // The framing is lost: say why and drop the connection.
            send(vserializer::writer().putError(format(L"Malformed request: a length message of %d bytes", *got)).bytes());
            return;
        }
        std::memcpy(&length, buffer.data(), sizeof length);
        if (length > kMaxRequest) {
            send(vserializer::writer().putError(format(L"Malformed request: length %u is too large", length)).bytes());
            return;
        }
        got = connection.read(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (!got) return;
        if (*got != length) {
            send(vserializer::writer()
                     .putError(format(L"Malformed request: %d bytes announced, %d received", length, *got))
                     .bytes());
            return;
        }
        if (!send(answer(std::string_view(buffer.data(), length)))) return;
    }
}

} // namespace standin
