#include "permissions/ElementListing.h"

namespace permissions {

AccountTable& ElementListing::accounts() {
    if (!accounts_) {
        database_ = openDatabase();
        accounts_ = std::make_unique<AccountTable>(*database_);
    }
    return *accounts_;
}

void ElementListing::write(IXMLDOMElement* element, const std::wstring& path) {
    xml::XmlElement target(com::Ptr<IXMLDOMElement>::sharing(element));
    writeListing(ListingMode::Simple, target, path, accounts(), inheritance);
}

ElementListing::Pending ElementListing::begin(const std::wstring& path) const {
    Pending pending;
    xml::XmlElement root = pending.document.createRoot(L"Permissions");
    pending.sids = writeListingBody(ListingMode::Simple, root, path, inheritance);
    return pending;
}

void ElementListing::finish(Pending& pending) {
    xml::XmlElement root = pending.document.root();
    writeAccounts(root, pending.sids, accounts());
}

} // namespace permissions
