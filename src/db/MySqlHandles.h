// Owners of the MySQL client library's connection and result handles.
#pragma once
#include <mysql.h>

#include <memory>

namespace db {

struct MySqlClose {
    void operator()(MYSQL* handle) const { mysql_close(handle); }
};
struct MySqlFreeResult {
    void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};

using MySqlConnection = std::unique_ptr<MYSQL, MySqlClose>;
using MySqlResult = std::unique_ptr<MYSQL_RES, MySqlFreeResult>;

} // namespace db
