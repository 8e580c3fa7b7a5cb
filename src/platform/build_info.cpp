#include "platform/build_info.h"

#include "version.h"

const char* ProgramVersion()
{
    return TELLMAR_VERSION;
}

int CompilerVersionNumber()
{
#if defined(__clang__)
    return __clang_major__ * 10000 + __clang_minor__ * 100 + __clang_patchlevel__;
#elif defined(__GNUC__)
    return __GNUC__ * 10000 + __GNUC_MINOR__ * 100 + __GNUC_PATCHLEVEL__;
#else
    return 0;
#endif
}
