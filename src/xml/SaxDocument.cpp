#include "xml/SaxDocument.h"

#include "app/Exceptions.h"
#include "app/Format.h"
#include "xml/AttributeWhitespaceEscaper.h"

namespace {

template <class T> com::Ptr<T> create(const wchar_t* progId) {
    com::Ptr<T> object;
    if (FAILED(com::createInstance(progId, object))) raisePlainError(format(L"Unable to create %s", progId));
    return object;
}

com::Ptr<COMStdoutStream> standardOutput() {
    com::Ptr<COMStdoutStream> stream;
    *stream.receive() = COMStdoutStream::create();
    return stream;
}

} // namespace

SaxDocument::SaxDocument() : SaxDocument(standardOutput(), true) {}

SaxDocument::SaxDocument(com::Ptr<COMStdoutStream> stream, bool declaration) : stream_(std::move(stream)) {
    // A parser reads back the white space of attribute values as the document held it.
    stream_->setFilter([escaper = AttributeWhitespaceEscaper()](std::string_view piece) mutable {
        return escaper.escape(piece);
    });
    writer_ = create<IMXWriter>(L"Msxml2.MXXMLWriter.3.0");
    attributes_ = create<IMXAttributes>(L"Msxml2.SAXAttributes.3.0");
    com::check(attributes_->QueryInterface(__uuidof(ISAXAttributes), list_.receiveVoid()));
    com::check(writer_->QueryInterface(__uuidof(ISAXContentHandler), handler_.receiveVoid()));
    com::check(writer_->put_encoding(com::Bstr(L"UTF-8").get()));
    if (!declaration) com::check(writer_->put_omitXMLDeclaration(VARIANT_TRUE));
    VARIANT output;
    VariantInit(&output);
    output.vt = VT_UNKNOWN;
    output.punkVal = static_cast<IStream*>(stream_.get());
    com::check(writer_->put_output(output));
    check(handler_->startDocument());
}

void SaxDocument::check(HRESULT hr) const {
    // Whatever the writer answered: a writer that swallowed a failed write must not make it a success.
    stream_->raiseFailure();
    com::check(hr);
}

void SaxDocument::end() {
    check(handler_->endDocument());
    check(writer_->flush());
}

void SaxDocument::startElement(const std::wstring& name) {
    const int n = static_cast<int>(name.size());
    check(handler_->startElement(L"", 0, name.c_str(), n, name.c_str(), n, list_.get()));
}

void SaxDocument::endElement(const std::wstring& name) {
    const int n = static_cast<int>(name.size());
    check(handler_->endElement(L"", 0, name.c_str(), n, name.c_str(), n));
}

void SaxDocument::clearAttributes() { com::check(attributes_->clear()); }

void SaxDocument::addAttribute(const std::wstring& name, const std::wstring& value) {
    com::check(attributes_->addAttribute(com::Bstr(L"").get(), com::Bstr(name).get(), com::Bstr(name).get(),
                                         com::Bstr(L"CDATA").get(), com::Bstr(value).get()));
}

void SaxDocument::addAttributesOf(IXMLDOMNode* element) {
    com::Ptr<IXMLDOMNamedNodeMap> attributes;
    com::check(element->get_attributes(attributes.receive()));
    long count = 0;
    com::check(attributes->get_length(&count));
    for (long i = 0; i < count; ++i) {
        com::Ptr<IXMLDOMNode> attribute;
        com::check(attributes->get_item(i, attribute.receive()));
        com::Bstr name, value;
        com::check(attribute->get_nodeName(name.receive()));
        com::check(attribute->get_text(value.receive()));
        addAttribute(name.str(), value.str());
    }
}

void SaxDocument::writeElements(IXMLDOMNode* parent) {
    com::forEachElement(parent, [this](IXMLDOMNode* node) {
        com::Bstr name;
        com::check(node->get_nodeName(name.receive()));
        clearAttributes();
        addAttributesOf(node);
        startElement(name.str());
        writeElements(node);
        endElement(name.str());
        return true;
    });
    clearAttributes();
}
