// The accounts a permission document describes: every account the preparation registers, every
// SID of a listed DACL and the owner, each with its hosting description from the panel database.
#pragma once
#include "db/DatabaseConnection.h"
#include "security/Sid.h"
#include "xml/XmlDocument.h"

#include <string>
#include <vector>

namespace permissions {

struct AccountRecord {
    std::wstring key;  // the qualified account name, or the SID's string form
    std::wstring name; // the account name, or the SID's string form
    std::wstring domain;
    SID_NAME_USE use = SidTypeUnknown;
    bool permanent = false;
    std::wstring descType;
    std::wstring descInfo;
    std::wstring fullName;
};

// "IWAM_tarnis(default)": the application pool that applies when neither the domain nor its
// client has one of its own.
inline constexpr const wchar_t* kDefaultPoolAccount = L"IWAM_tarnis(default)";

class AccountTable {
public:
    explicit AccountTable(db::DatabaseConnection& database);

    // Stores the account by the upsert rules: name always; domain, type and permanence once the
    // SID resolves; the first description wins. Failures are warnings: the account is skipped.
    void setAccount(const security::Sid& sid, bool permanent, const std::wstring& descType,
                    const std::wstring& descInfo);
    // The same for an account name ("Unable to lookup SID for user NAME" as a warning).
    void setAccount(const std::wstring& name, bool permanent, const std::wstring& descType,
                    const std::wstring& descInfo);

    // The built-in accounts and, for a path under the virtual-hosts root, its domain's accounts.
    // A failing database query ends the command.
    void prepare(const std::wstring& path, const std::wstring& vhostsRoot);
    // Describes a SID the preparation did not register (the first description wins). A failing
    // database query ends the command.
    void classify(const security::Sid& sid);

    const std::vector<AccountRecord>& accounts() const { return accounts_; }
    const AccountRecord* find(const std::wstring& key) const;
    // Whether the domain's application pool is the default one (known after prepare).
    bool defaultPool() const { return defaultPool_; }
    // The Accounts element with one Account per entry.
    void write(xml::XmlElement& root) const;

    // The domain a path under the root belongs to: the component right after the root; empty
    // when the path is not under it.
    static std::wstring domainOf(const std::wstring& path, const std::wstring& vhostsRoot);
    // The pool account of a domain or client: PREFIX id "(" first (13 - length of id) of login ")".
    static std::wstring poolAccountName(const std::wstring& prefix, const std::wstring& id,
                                        const std::wstring& login);

private:
    void store(const security::Sid& sid, bool permanent, const std::wstring& descType,
               const std::wstring& descInfo);
    void prepareDomain(const std::wstring& domain);
    std::wstring poolAccount(const std::wstring& domain);
    std::wstring login(const std::wstring& sysUserId);
    const std::wstring& localComputer();

    db::DatabaseConnection& database_;
    std::vector<AccountRecord> accounts_;
    std::wstring localComputer_;
    bool defaultPool_ = false;
};

// NetUserGetInfo's full name of a user account: empty for 1376 and 2221; other failures are
// warnings ("Unable to get full name of ...") and also give an empty name.
std::wstring fullUserName(const AccountRecord& account, const std::wstring& localComputer);

// The first `length` characters.
std::wstring cutTo(const std::wstring& text, size_t length);

} // namespace permissions
