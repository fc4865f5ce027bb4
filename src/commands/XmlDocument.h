// The MSXML DOM documents the XML commands build: created from a root text, filled, serialised.
#pragma once
#include "commands/Msxml.h"

#include <string>

namespace xmldoc {

class Document {
public:
    // An "Msxml2.DOMDocument" holding `rootText` (e.g. "<Tree/>"); raises "Unable to create
    // Msxml2.DOMDocument" or "Unable to loadXML %s".
    explicit Document(const std::wstring& rootText);

    const com::Ptr<IXMLDOMElement>& root() const { return root_; }
    com::Ptr<IXMLDOMElement> createElement(const std::wstring& name) const;
    // The serialised text (the DOM's xml property).
    std::wstring xml() const;

private:
    com::Ptr<IXMLDOMDocument> document_;
    com::Ptr<IXMLDOMElement> root_;
};

void setAttribute(IXMLDOMElement* element, const std::wstring& name, const std::wstring& value);
void append(IXMLDOMElement* parent, IXMLDOMElement* child);

} // namespace xmldoc
