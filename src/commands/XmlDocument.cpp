#include "commands/XmlDocument.h"

#include "app/Exceptions.h"
#include "app/Format.h"

namespace xmldoc {

Document::Document(const std::wstring& rootText) {
    com::initialize();
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(L"Msxml2.DOMDocument", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IXMLDOMDocument), document_.receiveVoid());
    if (FAILED(hr)) raisePlainError(L"Unable to create Msxml2.DOMDocument", {L"", "xmldoc::Document", __LINE__});
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = document_->loadXML(com::Bstr(rootText).get(), &loaded);
    if (FAILED(hr) || loaded != VARIANT_TRUE)
        raisePlainError(format(L"Unable to loadXML %s", rootText), {L"", "xmldoc::Document", __LINE__});
    com::check(document_->get_documentElement(root_.receive()));
}

com::Ptr<IXMLDOMElement> Document::createElement(const std::wstring& name) const {
    com::Ptr<IXMLDOMElement> element;
    com::check(document_->createElement(com::Bstr(name).get(), element.receive()));
    return element;
}

std::wstring Document::xml() const {
    com::Bstr text;
    com::check(document_->get_xml(text.receive()));
    return text.str();
}

void setAttribute(IXMLDOMElement* element, const std::wstring& name, const std::wstring& value) {
    com::Variant v(value);
    com::check(element->setAttribute(com::Bstr(name).get(), v.get()));
}

void append(IXMLDOMElement* parent, IXMLDOMElement* child) {
    com::Ptr<IXMLDOMNode> added;
    com::check(parent->appendChild(child, added.receive()));
}

} // namespace xmldoc
