#include <locale.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "iconv/text_literal.h"
#include "platform/serial_device.h"

void SetLastSystemError(int code)
{
    errno = code;
}

std::string FormatSystemError(int code)
{
    if (code == 0) {
        code = errno;
    }
    if (code != 0 && ::strerrorname_np(code) == nullptr) {
        return GB("{未定义错误描述(") + std::to_string(code) + ")}";
    }
    // The C locale keeps the text ASCII: a localised text would arrive in the
    // locale's charset, not in the internal code page.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", nullptr);
    const char* text = cLocale != nullptr ? ::strerror_l(code, cLocale) : ::strerror(code);
    return std::string(text) + "\r\n";
}

OPEN_FAILURE_t OpenFailureOf(int code)
{
    switch (code) {
    case EBUSY:
        return OPEN_FAILURE_BUSY;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return OPEN_FAILURE_NOT_FOUND;
    case EACCES:
    case EPERM:
        return OPEN_FAILURE_NO_ACCESS;
    default:
        return OPEN_FAILURE_OTHER;
    }
}
