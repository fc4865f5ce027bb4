// Text as the database sees it: queries and values travel as UTF-8.
#pragma once
#include <string>
#include <string_view>

namespace db {

// UTF-16 to UTF-8 through libidn's conversion. A lone surrogate has no UTF-8 form: it raises
// "Invalid UTF-16 text for the database" rather than sending something else than was asked.
std::string toDatabaseText(std::wstring_view text);
std::wstring fromDatabaseText(std::string_view utf8);

} // namespace db
