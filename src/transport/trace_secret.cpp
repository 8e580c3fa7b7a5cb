#include "transport/trace_secret.h"

#include <algorithm>
#include <utility>

namespace {

const char kHidden[] = "****";

std::string HideWhole(std::string bytes, const std::string& secret)
{
    if (secret.empty()) {
        return bytes;
    }
    for (std::size_t at = bytes.find(secret); at != std::string::npos;
         at = bytes.find(secret, at + sizeof kHidden - 1)) {
        bytes.replace(at, secret.size(), kHidden);
    }
    return bytes;
}

}  // namespace

void CTraceSecret::Set(std::string secret)
{
    m_secret = std::move(secret);
    m_carried = 0;
}

std::string CTraceSecret::HideInWrite(const std::string& bytes) const
{
    return HideWhole(bytes, m_secret);
}

std::string CTraceSecret::HideInRead(const std::string& bytes)
{
    // An empty read between the two halves of a secret leaves the half
    // carried.
    if (m_secret.empty() || bytes.empty()) {
        return bytes;
    }
    std::string shown = bytes;
    if (m_carried > 0) {
        // The rest of the secret, as far as this read goes on with it.
        const std::string rest = m_secret.substr(m_carried);
        std::size_t same = 0;
        while (same < rest.size() && same < shown.size() && shown[same] == rest[same]) {
            ++same;
        }
        if (same > 0) {
            shown.replace(0, same, kHidden);
        }
    }
    shown = HideWhole(shown, m_secret);
    // The longest beginning of the secret that ends this read.
    m_carried = 0;
    for (std::size_t n = std::min(m_secret.size() - 1, shown.size()); n > 0; --n) {
        if (shown.compare(shown.size() - n, n, m_secret, 0, n) == 0) {
            m_carried = n;
            shown.replace(shown.size() - n, n, kHidden);
            break;
        }
    }
    return shown;
}
