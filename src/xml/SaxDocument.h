// A document streamed through the MSXML 3.0 SAX writer (MXXMLWriter) to standard output, with
// the one attribute list every element start is given as it stands.
#pragma once
#include "xml/COMStdoutStream.h"
#include "xml/Msxml.h"

#include <string>

class SaxDocument {
public:
    // Creates the writer with encoding "UTF-8" and standard output as its stream; starts the document.
    SaxDocument();
    // ... with the stream given; without the XML declaration when `declaration` is false (as a
    // DOM's text has none).
    SaxDocument(com::Ptr<COMStdoutStream> stream, bool declaration);
    // Ends the document: the writer flushes what it holds.
    void end();

    void startElement(const std::wstring& name);
    void endElement(const std::wstring& name);
    void clearAttributes();
    void addAttribute(const std::wstring& name, const std::wstring& value);
    // The attributes of a DOM element, in order, added to the list.
    void addAttributesOf(IXMLDOMNode* element);
    // The element children of a DOM node, each with its attributes in order and its own element
    // children, written as they stand (the attribute list is left cleared).
    void writeElements(IXMLDOMNode* parent);

private:
    // After a call of the writer: the stream's failure when a write failed, else the COM error.
    void check(HRESULT hr) const;

    com::Ptr<COMStdoutStream> stream_;
    com::Ptr<IMXWriter> writer_;
    com::Ptr<ISAXContentHandler> handler_;
    com::Ptr<IMXAttributes> attributes_;
    com::Ptr<ISAXAttributes> list_;
};
