#include "commands/files/ArchiveTemplates.h"

#include "app/Exceptions.h"
#include "ipc/TarnisSrvClient.h"

#include <exception>
#include <utility>

namespace files {
namespace {

class ManagementServiceTemplates : public ArchiveTemplates {
public:
    std::wstring get(const std::wstring& typeName, const std::wstring& operation) override {
        try {
            return TarnisSrvClient::getInstance().getExtString(
                typeName.empty() ? std::wstring(L"MultiArc") : L"MultiArc\\" + typeName, operation);
        } catch (const std::exception&) {
            return L""; // an unreadable template is an empty one: the operation then fails
        } catch (const vexception&) {
            return L"";
        }
    }
};

ArchiveTemplates* installed = nullptr;

} // namespace

ArchiveTemplates& archiveTemplates() {
    static ManagementServiceTemplates service;
    return installed ? *installed : service;
}

ArchiveTemplates* installArchiveTemplates(ArchiveTemplates* templates) {
    return std::exchange(installed, templates);
}

} // namespace files
