// The --permissions --list listing written into the elements of another command's document
// (--tree, --ex-info). One account table serves the whole run and is never prepared, so every
// element's Accounts names the accounts met so far in the run.
#pragma once
#include "permissions/PermissionListing.h"

#include <memory>

namespace permissions {

class ElementListing {
public:
    // Where inheritance sources and account descriptions come from (the panel's unless a test
    // says otherwise).
    InheritanceLookup inheritance = serviceInheritance();
    DatabaseOpener openDatabase = panelDatabase();

    // The listing's attributes set on `element`, its children appended after the element's own.
    void write(IXMLDOMElement* element, const std::wstring& path);
    // The same in two steps, for a document streamed element by element: everything but Accounts
    // on a root of its own, read once, before the element starts (its attributes are the element's) ...
    struct Pending {
        xml::XmlDocument document;
        std::vector<security::Sid> sids; // still to be classified
    };
    Pending begin(const std::wstring& path) const;
    // ... and Accounts, once the element's contents are written: they name what was met below it too.
    void finish(Pending& pending);

private:
    AccountTable& accounts();

    std::unique_ptr<db::DatabaseConnection> database_;
    std::unique_ptr<AccountTable> accounts_;
};

} // namespace permissions
