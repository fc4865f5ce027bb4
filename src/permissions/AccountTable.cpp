#include "permissions/AccountTable.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "identity/Account.h"
#include "permissions/PermissionDocument.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cwctype>

namespace permissions {
namespace {

constexpr size_t kAnonymousLoginLength = 20;
constexpr DWORD kNoSuchAlias = 1376, kUserNotFound = 2221; // ERROR_NO_SUCH_ALIAS, NERR_UserNotFound
const std::wstring kAnonymousPrefix = L"IUSR_";

void warn(const char* origin, const std::wstring& text) {
    LogManager::instance().warn(text::fromAnsi(origin) + L": " + text);
}

// The failure being handled, as text.
std::wstring currentFailure() { return messageOf(std::current_exception()); }

std::vector<std::wstring> components(const std::wstring& path) {
    std::wstring shown = text::displayPath(path);
    std::replace(shown.begin(), shown.end(), L'/', L'\\');
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= shown.size()) {
        size_t end = shown.find(L'\\', start);
        if (end == std::wstring::npos) end = shown.size();
        if (end > start) parts.push_back(shown.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool beginsWithTrue(const std::wstring& value) {
    return value.size() >= 4 && text::equalNoCase(value.substr(0, 4), L"true");
}

// The kind LookupAccountNameW gives for the name as it stands (the key is already qualified);
// nothing when no account has the name.
std::optional<SID_NAME_USE> useOfName(const std::wstring& qualified) {
    platform::Platform& p = platform::current();
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use = SidTypeUnknown;
    DWORD error = p.lookupAccountName(qualified, nullptr, &sidSize, nullptr, &domainSize, &use);
    if (error == ERROR_INSUFFICIENT_BUFFER) {
        std::vector<BYTE> sid(sidSize);
        std::wstring domain(domainSize, L'\0');
        error = p.lookupAccountName(qualified, sid.data(), &sidSize, domain.data(), &domainSize, &use);
    }
    if (error == ERROR_NONE_MAPPED) return std::nullopt;
    if (error) raiseRunTimeError(error, L"Unable to lookup SID for name %s", qualified);
    return use;
}

} // namespace

std::wstring cutTo(const std::wstring& text, size_t length) {
    return text.substr(0, std::min(length, text.size()));
}

std::wstring fullUserName(const AccountRecord& account, const std::wstring& localComputer) {
    try {
        std::wstring server = text::equalNoCase(account.domain, localComputer) ? L"" : account.domain;
        std::wstring fullName;
        DWORD error = platform::current().userFullName(server, account.name, &fullName);
        if (error == kNoSuchAlias || error == kUserNotFound) return L"";
        if (error) raiseRunTimeError(error, L"Unable to get the user (%s) information", account.name);
        return fullName;
    } catch (...) {
        warn("Permissions::fullUserName",
             L"Unable to get full name of " + account.key + L": " + currentFailure());
        return L"";
    }
}

AccountTable::AccountTable(db::DatabaseConnection& database) : database_(database) {}

const std::wstring& AccountTable::localComputer() {
    if (localComputer_.empty())
        if (DWORD error = platform::current().computerName(&localComputer_))
            raiseRunTimeError(error, L"Unable to get computer name");
    return localComputer_;
}

const AccountRecord* AccountTable::find(const std::wstring& key) const {
    for (const AccountRecord& a : accounts_)
        if (text::equalNoCase(a.key, key)) return &a;
    return nullptr;
}

void AccountTable::store(const security::Sid& sid, bool permanent, const std::wstring& descType,
                         const std::wstring& descInfo) {
    std::optional<security::AccountName> resolved = sid.lookupIfMapped();
    const std::wstring key = resolved ? resolved->qualified() : sid.toString();
    // Looked up before the record changes: a failure leaves no half-stored account behind.
    std::optional<SID_NAME_USE> byName;
    if (resolved && resolved->use == SidTypeUnknown) byName = useOfName(key);
    auto it = std::find_if(accounts_.begin(), accounts_.end(),
                           [&](const AccountRecord& a) { return text::equalNoCase(a.key, key); });
    if (it == accounts_.end()) {
        accounts_.push_back({key, L"", L"", SidTypeUnknown, false, L"", L"", L""});
        it = accounts_.end() - 1;
    }
    AccountRecord& record = *it;
    record.name = resolved ? resolved->name : sid.toString();
    if (record.domain.empty() && resolved) {
        record.domain = resolved->domain;
        record.use = resolved->use;
        // Some SIDs answer "unknown" by SID and their real kind by name.
        if (byName) record.use = *byName;
        record.permanent = permanent;
    }
    if (record.descType.empty()) {
        record.descType = descType;
        record.descInfo = descInfo;
    }
    if (record.use == SidTypeUser && record.fullName.empty())
        record.fullName = fullUserName(record, localComputer());
}

void AccountTable::setAccount(const security::Sid& sid, bool permanent, const std::wstring& descType,
                              const std::wstring& descInfo) {
    try {
        store(sid, permanent, descType, descInfo);
    } catch (...) {
        warn("Permissions::setAccount", currentFailure());
    }
}

void AccountTable::setAccount(const std::wstring& name, bool permanent, const std::wstring& descType,
                              const std::wstring& descInfo) {
    try {
        security::Sid sid;
        try {
            sid = identity::resolveAccount(name);
        } catch (...) {
            throwRunTimeError(0, L"Unable to lookup SID for user " + name);
        }
        store(sid, permanent, descType, descInfo);
    } catch (...) {
        warn("Permissions::setAccount", currentFailure());
    }
}

std::wstring AccountTable::domainOf(const std::wstring& path, const std::wstring& vhostsRoot) {
    if (vhostsRoot.empty()) return L"";
    std::vector<std::wstring> root = components(vhostsRoot), inside = components(path);
    if (root.empty() || inside.size() <= root.size()) return L"";
    for (size_t i = 0; i < root.size(); ++i)
        if (!text::equalNoCase(root[i], inside[i])) return L"";
    return inside[root.size()];
}

std::wstring AccountTable::poolAccountName(const std::wstring& prefix, const std::wstring& id,
                                           const std::wstring& login) {
    size_t room = id.size() < 13 ? 13 - id.size() : 0;
    return prefix + id + L"(" + cutTo(login, room) + L")";
}

std::wstring AccountTable::login(const std::wstring& sysUserId) {
    VRecordSet rows = database_.query(L"SELECT `login` FROM `sys_users` WHERE `id`=" + sysUserId);
    return rows.hasRow() ? rows.get(L"login") : L"";
}

void AccountTable::prepare(const std::wstring& path, const std::wstring& vhostsRoot) {
    setAccount(security::administratorsGroup(), true, L"admins", L"");
    setAccount(security::localSystem(), true, L"system", L"");
    const std::wstring domain = domainOf(path, vhostsRoot);
    // A database failure ends the command: a listing without the domain's accounts would show
    // them as system accounts. Failures of single accounts stay warnings (setAccount).
    if (!domain.empty()) prepareDomain(domain);
}

void AccountTable::prepareDomain(const std::wstring& domain) {
    const std::wstring escaped = database_.escape(domain);
    VRecordSet domainRow = database_.query(L"select id from domains where name='" + escaped + L"'");
    if (!domainRow.hasRow()) return;
    // Ids come from the database as digits; they are escaped all the same before they go back.
    const std::wstring id = database_.escape(domainRow.get(L"id"));

    VRecordSet hosting = database_.query(L"SELECT su.login, h.fp, h.server_id FROM `hosting` h, `sys_users` "
                                         L"su WHERE h.sys_user_id=su.id AND h.dom_id=" +
                                         id);
    if (hosting.hasRow()) {
        const std::wstring login = hosting.get(L"login");
        setAccount(login, true, L"domusr", L"");
        setAccount(cutTo(kAnonymousPrefix + login, kAnonymousLoginLength), false, L"andomusr", L"");
        if (beginsWithTrue(hosting.get(L"fp")))
            setAccount(L"FPSE_" + hosting.get(L"server_id"), false, L"fpseandomgrp", L"");
    }

    for (VRecordSet subdomains = database_.query(
             L"SELECT s.sys_user_id, s.fp, s.server_id FROM subdomains s WHERE s.dom_id = " + id);
         subdomains.hasRow(); subdomains.next()) {
        std::wstring sysUserId = subdomains.get(L"sys_user_id");
        std::wstring login = sysUserId.empty() ? L"" : this->login(database_.escape(sysUserId));
        if (!login.empty()) {
            setAccount(login, false, L"subdomusr", L"");
            setAccount(cutTo(kAnonymousPrefix + login, kAnonymousLoginLength), false, L"ansubdomusr", L"");
        }
        if (beginsWithTrue(subdomains.get(L"fp")))
            setAccount(L"FPSE_" + subdomains.get(L"server_id"), false, L"fpseansubdomgrp", L"");
    }

    for (VRecordSet webUsers =
             database_.query(L"SELECT `sys_user_id` FROM `web_users` s WHERE dom_id = " + id);
         webUsers.hasRow(); webUsers.next()) {
        std::wstring login = this->login(database_.escape(webUsers.get(L"sys_user_id")));
        if (login.empty()) continue;
        setAccount(login, false, L"webusr", L"");
        setAccount(cutTo(kAnonymousPrefix + login, kAnonymousLoginLength), false, L"anwebusr", L"");
    }

    VRecordSet asp = database_.query(
        L"SELECT h.asp_dot_net FROM `hosting` h, `domains` d WHERE h.dom_id=d.id AND d.name='" + escaped +
        L"'");
    if (asp.hasRow() && beginsWithTrue(asp.get(L"asp_dot_net")))
        setAccount(poolAccount(escaped), false, L"poolusr", L"");
}

std::wstring AccountTable::poolAccount(const std::wstring& escapedDomain) {
    VRecordSet own = database_.query(
        L"SELECT dp.val, su.login, d.id FROM `dom_param` dp, `domains` d, `hosting` h, `sys_users` su WHERE "
        L"h.dom_id=d.id AND dp.dom_id=d.id AND su.id=h.sys_user_id AND dp.param='iis_app_pool' AND d.name='" +
        escapedDomain + L"'");
    if (own.hasRow() && own.get(L"val") == L"true")
        return poolAccountName(L"IWPD_", own.get(L"id"), own.get(L"login"));
    VRecordSet client = database_.query(L"SELECT clp.val, cl.login, cl.id FROM `cl_param` clp, `clients` cl, "
                                        L"`domains` d WHERE clp.cl_id=cl.id AND "
                                        L"clp.param='iis_app_pool' AND d.cl_id=cl.id AND d.name='" +
                                        escapedDomain + L"'");
    if (client.hasRow() && client.get(L"val") == L"true")
        return poolAccountName(L"IWPC_", client.get(L"id"), client.get(L"login"));
    defaultPool_ = true;
    return kDefaultPoolAccount;
}

// Database failures are not caught: a listing that silently described accounts as system
// accounts would mislead the panel. Storing the answer is setAccount's, whose failures are warnings.
void AccountTable::classify(const security::Sid& sid) {
    std::optional<security::AccountName> resolved = sid.lookupIfMapped();
    // The first description wins: an account already described (a listing meets the same
    // accounts on every entry of a walk) is not asked about again.
    const AccountRecord* known = find(resolved ? resolved->qualified() : sid.toString());
    if (known && !known->descType.empty() && !(known->use == SidTypeUser && known->fullName.empty())) return;
    std::wstring login;
    if (resolved && text::equalNoCase(resolved->domain, localComputer())) login = resolved->name;
    if (login.empty()) return setAccount(sid, false, L"sysaccount", L"");
    const bool anonymous = login.size() >= kAnonymousPrefix.size() &&
                           text::equalNoCase(login.substr(0, kAnonymousPrefix.size()), kAnonymousPrefix);
    const std::wstring an = anonymous ? L"an" : L"";
    const std::wstring escaped =
        database_.escape(anonymous ? login.substr(kAnonymousPrefix.size()) : login);
    VRecordSet domain = database_.query(
        L"SELECT d.name FROM `hosting` h, `domains` d, `sys_users` su WHERE d.id = h.dom_id AND "
        L"h.sys_user_id=su.id AND su.login='" +
        escaped + L"'");
    if (domain.hasRow()) return setAccount(sid, false, an + L"domusr", domain.get(L"name"));
    VRecordSet subdomain = database_.query(
        L"SELECT s.name, d.name from subdomains s, domains d, sys_users u where s.dom_id = d.id AND "
        L"s.sys_user_id=u.id AND u.login='" +
        escaped + L"'");
    if (subdomain.hasRow()) {
        // Both columns are called "name": the first is the subdomain's, the second the domain's.
        return setAccount(sid, false, an + L"subdomusr",
                          subdomain.valueAt(0).value_or(L"") + L"." + subdomain.valueAt(1).value_or(L""));
    }
    VRecordSet web =
        database_.query(L"SELECT d.name from web_users w, domains d, sys_users u where w.dom_id = "
                        L"d.id AND w.sys_user_id=u.id AND u.login='" +
                        escaped + L"'");
    if (web.hasRow()) return setAccount(sid, false, an + L"webusr", web.get(L"name"));
    setAccount(sid, false, text::equalNoCase(login, L"ASPNET") ? L"aspnet" : L"sysaccount", L"");
}

void AccountTable::write(xml::XmlElement& root) const {
    xml::XmlElement list = root.append(L"Accounts");
    for (const AccountRecord& a : accounts_) {
        xml::XmlElement account = list.append(L"Account");
        account.set(L"Domain", a.domain);
        account.set(L"Name", a.name);
        account.set(L"Type", accountTypeWord(a.use));
        account.set(L"DescType", a.descType);
        account.set(L"DescInfo", a.descInfo);
        account.set(L"Permanent", a.permanent ? L"yes" : L"no");
        account.set(L"FullName", a.fullName);
    }
}

} // namespace permissions
