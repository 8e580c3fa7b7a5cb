#include <windows.h>
#include <shellapi.h>

#include "platform/charset.h"
#include "platform/system_codeset.h"
#include "platform/win32/wide_text.h"

std::string SystemCodeset()
{
    return "CP" + std::to_string(GetACP());
}

std::vector<std::string> InternalArguments(int argc, char** argv)
{
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    // The runtime split the same command line; should the two ever disagree,
    // the runtime's arguments (in the ANSI code page) are the ones to keep.
    const bool useWide = wide != nullptr && count == argc;
    for (int i = 0; i < argc; ++i) {
        if (i == 0) {
            args.push_back(argv[0]);
        } else if (useWide) {
            args.push_back(WideToInternal(wide[i]));
        } else {
            args.push_back(FromConsoleCharset(argv[i]));
        }
    }
    LocalFree(wide);
    return args;
}
