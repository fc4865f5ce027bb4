// Character references for the white space inside attribute values of a document as the SAX
// writer writes it. MXXMLWriter escapes only <, >, & and " in attribute values; a parser reading
// them back turns a raw line feed, carriage return or tab into a space (attribute-value
// normalisation), so "GIF image\n" would come back as "GIF image ". The DOM's own text keeps
// them as &#10;, &#13; and &#9;; this gives streamed documents the same.
#pragma once
#include <string>
#include <string_view>

class AttributeWhitespaceEscaper {
public:
    // The next piece of the document's UTF-8 text, with line feeds, carriage returns and tabs
    // inside attribute values replaced; pieces may end anywhere (the state carries over).
    std::string escape(std::string_view piece);

private:
    // Outside any markup, inside a tag, inside a quoted attribute value.
    enum class State { Text, Tag, Value };
    State state_ = State::Text;
    char quote_ = '"';
};
