#include <langinfo.h>
#include <clocale>

#include "platform/charset.h"
#include "platform/system_codeset.h"

std::string SystemCodeset()
{
    // Only the character type: numbers keep their C form for the parsers and
    // system error texts stay ASCII instead of arriving in the locale's charset.
    std::setlocale(LC_CTYPE, "");
    return nl_langinfo(CODESET);
}

std::vector<std::string> InternalArguments(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        args.push_back(i == 0 ? std::string(argv[i]) : FromConsoleCharset(argv[i]));
    }
    return args;
}
