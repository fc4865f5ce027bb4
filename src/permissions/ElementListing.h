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

private:
    std::unique_ptr<db::DatabaseConnection> database_;
    std::unique_ptr<AccountTable> accounts_;
};

} // namespace permissions
