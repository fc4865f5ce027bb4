#include "identity/Administrators.h"

#include "identity/Account.h"

#include <algorithm>

namespace identity {

bool isAdministrator() {
    std::vector<security::TokenGroup> groups = security::Token::process(TOKEN_QUERY).groups();
    return std::any_of(groups.begin(), groups.end(), [](const security::TokenGroup& g) {
        return !g.denyOnly() && g.sid == security::administratorsGroup();
    });
}

bool isAdministrativeAccount(const security::Sid& sid) {
    return sid == builtinAdministrator() || sid == security::administratorsGroup() ||
           sid == resolveAccount(L"tnaadm") || sid == resolveAccount(L"Tarnis Administrator");
}

} // namespace identity
