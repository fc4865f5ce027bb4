#include "permissions/ElementListing.h"

namespace permissions {

void ElementListing::write(IXMLDOMElement* element, const std::wstring& path) {
    if (!accounts_) {
        database_ = openDatabase();
        accounts_ = std::make_unique<AccountTable>(*database_);
    }
    XmlElement target(com::Ptr<IXMLDOMElement>::sharing(element));
    writeListing(ListingMode::Simple, target, path, *accounts_, inheritance);
}

} // namespace permissions
