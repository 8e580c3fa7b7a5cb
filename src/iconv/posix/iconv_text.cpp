#include "iconv/iconv_text.h"

#include <iconv.h>

namespace {

iconv_t Descriptor(void* state)
{
    return static_cast<iconv_t>(state);
}

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

}  // namespace

CIconv::CIconv(const char* to, const char* from) : m_state(iconv_open(to, from)) {}

CIconv::~CIconv()
{
    if (ok()) {
        iconv_close(Descriptor(m_state));
    }
}

bool CIconv::ok() const
{
    return Descriptor(m_state) != kNoDescriptor;
}

int CIconv::Step(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft)
{
    char* src = const_cast<char*>(in);
    const std::size_t rc = iconv(Descriptor(m_state), &src, &inLeft, &out, &outLeft);
    const int err = errno;
    in = src;
    return rc != static_cast<std::size_t>(-1) ? 0 : err;
}

void CIconv::Reset()
{
    iconv(Descriptor(m_state), nullptr, nullptr, nullptr, nullptr);
}
