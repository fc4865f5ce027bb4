// The panel database as a local Jet (Access) file; its name is the database setting.
#pragma once
#include "db/VADODatabaseProvider.h"

namespace db {

class JetDatabaseProvider : public VADODatabaseProvider {
public:
    // A host other than this machine ("", "localhost", "127.0.0.1", ".", the computer name)
    // raises "Jet support only local databases".
    void connect(const DatabaseSettings& settings) override;
    std::wstring connectionString(const DatabaseSettings& settings) const override;
};

} // namespace db
