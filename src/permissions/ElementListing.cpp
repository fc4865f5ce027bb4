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
    XmlElement target(com::Ptr<IXMLDOMElement>::sharing(element));
    writeListing(ListingMode::Simple, target, path, accounts(), inheritance);
}

XmlDocument ElementListing::listing(const std::wstring& path) {
    XmlDocument document;
    XmlElement root = document.createRoot(L"Permissions");
    writeListing(ListingMode::Simple, root, path, accounts(), inheritance);
    return document;
}

} // namespace permissions
