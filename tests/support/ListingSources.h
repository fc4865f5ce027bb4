// The permission listing of --tree and --ex-info in command tests: no inheritance sources (the
// panel service does not run in-process) and account descriptions from the test database.
#pragma once
#include "permissions/ElementListing.h"
#include "support/DatabaseFixtures.h"
#include "support/InProcess.h"

#include <memory>

namespace testsupport {

// quarn ROOT ARGS... with one command object of the class, its listing on the test sources.
template <class Command> InProcessResult runWithTestListing(std::vector<std::wstring> arguments) {
    arguments.insert(arguments.begin(), L"ROOT");
    return runInProcess(arguments, [] {
        CommandList list;
        auto command = std::make_unique<Command>();
        command->permissionListing.inheritance = [](const std::wstring&, DWORD) {
            return std::optional<std::vector<RunTime::InheritanceEntry>>();
        };
        command->permissionListing.openDatabase = [] {
            static TableSettingsSource source = TableSettingsSource::testServer();
            return std::make_unique<db::DatabaseConnection>(false, &source);
        };
        list.push_back(std::move(command));
        return list;
    });
}

} // namespace testsupport
