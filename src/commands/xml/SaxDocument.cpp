#include "commands/xml/SaxDocument.h"

#include "app/Exceptions.h"
#include "app/Format.h"

namespace {

template <class T> com::Ptr<T> create(const wchar_t* progId) {
    CLSID clsid{};
    com::Ptr<T> object;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(T), object.receiveVoid());
    if (FAILED(hr)) raisePlainError(format(L"Unable to create %s", progId), {L"", "SaxDocument::SaxDocument", __LINE__});
    return object;
}

} // namespace

SaxDocument::SaxDocument() {
    writer_ = create<IMXWriter>(L"Msxml2.MXXMLWriter.3.0");
    attributes_ = create<IMXAttributes>(L"Msxml2.SAXAttributes.3.0");
    com::check(attributes_->QueryInterface(__uuidof(ISAXAttributes), list_.receiveVoid()));
    com::check(writer_->QueryInterface(__uuidof(ISAXContentHandler), handler_.receiveVoid()));
    com::check(writer_->put_encoding(com::Bstr(L"UTF-8").get()));
    *stream_.receive() = COMStdoutStream::create();
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
