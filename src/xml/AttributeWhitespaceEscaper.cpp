#include "xml/AttributeWhitespaceEscaper.h"

// The writer escapes the quote inside values and writes no comments or CDATA, so tags and
// values are told apart by '<', '>' and the quotes alone; UTF-8 continuation bytes never equal
// these ASCII bytes.
std::string AttributeWhitespaceEscaper::escape(std::string_view piece) {
    std::string out;
    out.reserve(piece.size());
    for (char c : piece) {
        switch (state_) {
        case State::Text:
            if (c == '<') state_ = State::Tag;
            break;
        case State::Tag:
            if (c == '"' || c == '\'') {
                state_ = State::Value;
                quote_ = c;
            } else if (c == '>') {
                state_ = State::Text;
            }
            break;
        case State::Value:
            if (c == quote_) {
                state_ = State::Tag;
            } else if (c == '\n') {
                out += "&#10;";
                continue;
            } else if (c == '\r') {
                out += "&#13;";
                continue;
            } else if (c == '\t') {
                out += "&#9;";
                continue;
            }
            break;
        }
        out += c;
    }
    return out;
}
