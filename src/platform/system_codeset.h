#pragma once
// What each backend tells the shared charset boundary (platform/charset.cpp).

#include <string>

// The codeset of the user's text: on Linux the locale's (after
// setlocale(LC_CTYPE, ""), as nl_langinfo(CODESET) names it), on Windows the
// ANSI code page as "CP<n>".
std::string SystemCodeset();
