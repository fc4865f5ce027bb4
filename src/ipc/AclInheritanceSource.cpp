#include "ipc/AclInheritanceSource.h"

#include "app/Guard.h"
#include "app/Log.h"
#include "app/Text.h"
#include "ipc/Serializer.h"
#include "ipc/TarnisSrvClient.h"

#include <mutex>

namespace RunTime {

std::optional<std::vector<InheritanceEntry>> AclInheritanceSource::decode(std::string_view answer,
                                                                          DWORD aceCount) {
    vserializer::reader reader(answer);
    if (reader.errorAhead()) reader.readText(); // raises the service's own message
    int32_t count = reader.readInt();
    if (count < 0 || static_cast<DWORD>(count) != aceCount) {
        LogManager::instance().log(
            1, L"The inheritance source reported %d entries for a DACL of %d ACEs: ignored", count, aceCount);
        return std::nullopt;
    }
    std::vector<InheritanceEntry> entries;
    for (int32_t i = 0; i < count; ++i) {
        int32_t gap = reader.readInt();
        entries.push_back({gap, reader.readText()});
    }
    return entries;
}

std::string AclInheritanceSource::encode(const std::vector<InheritanceEntry>& entries) {
    vserializer::writer out;
    out.putInt(static_cast<int32_t>(entries.size()));
    for (const InheritanceEntry& entry : entries)
        out.putInt(entry.generationGap).putText(entry.ancestor);
    return out.bytes();
}

std::optional<std::vector<InheritanceEntry>> AclInheritanceSource::get(const std::wstring& path,
                                                                       DWORD aceCount) {
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    return guarded(ErrorContext{format(L"Get inheritance source of %s", text::displayPath(path))}, [&] {
        std::string answer =
            TarnisSrvClient::getInstance().query(kOperation, vserializer::writer().putText(path).bytes());
        return decode(answer, aceCount);
    });
}

} // namespace RunTime
