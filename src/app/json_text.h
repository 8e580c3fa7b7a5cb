#pragma once
// The text of a JSON document as the console gets it: jsoncpp's two layouts,
// in the charset of the console.

#include <string>

#include <json/value.h>

// How the strings of a document are written. DOCUMENT_ASCII: every non-ASCII
// character as a \u escape, so that the text is ASCII and survives any
// console charset. DOCUMENT_UTF8: characters as they are, for a console whose
// charset is UTF-8. In both, the control characters (C0, DEL and C1) are \u
// escapes, so a document cannot drive a terminal.
enum DOCUMENT_CHARSET_t { DOCUMENT_ASCII, DOCUMENT_UTF8 };

// The charset the documents of this run are written in: UTF-8 when the
// locale names UTF-8 (platform/charset.h LocaleIsUtf8), ASCII otherwise.
DOCUMENT_CHARSET_t ConsoleDocumentCharset();

// The styled layout (one member per line, three-space indentation) and the
// one-line layout, each followed by one more line end, so that the text ends
// with an empty line. The text is internal text, for ConsoleWrite.
std::string StyledDocumentText(const Json::Value& document, DOCUMENT_CHARSET_t charset);
std::string CompactDocumentText(const Json::Value& document, DOCUMENT_CHARSET_t charset);
