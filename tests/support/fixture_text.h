#pragma once
// Recorded modem replies as readable fixture files.
//
// A fixture file holds the reply with escapes: \r \n \t \\ \" \0 and \xHH.
// The file's own line breaks are not part of the reply (write \r\n where the
// modem sent CR LF), and lines that begin with "#" are comments.

#include <string>

// Decodes the escapes of one text.
std::string DecodeEscapes(const std::string& text);

// Loads tests/data/<relativePath> and decodes it as above. Fails the current
// test (ADD_FAILURE) and returns "" when the file cannot be read.
std::string LoadFixture(const std::string& relativePath);

// The path of a file below tests/data.
std::string TestDataPath(const std::string& relativePath);
