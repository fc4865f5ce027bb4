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
    // The same in two steps, for a document streamed element by element: the attributes before the
    // element starts (the account table is left alone) ...
    ListingAttributes attributes(const std::wstring& path) const { return listingAttributes(path); }
    // ... and, once the element's contents are written, the listing whole on a root of its own,
    // whose children are the element's last.
    XmlDocument listing(const std::wstring& path);

private:
    AccountTable& accounts();

    std::unique_ptr<db::DatabaseConnection> database_;
    std::unique_ptr<AccountTable> accounts_;
};

} // namespace permissions
