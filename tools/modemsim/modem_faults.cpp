// Fault injection: the rules that change, delay, cut or refuse what a module
// answers, and the noise and floods it sends.
#include <algorithm>

#include "command_text.h"
#include "modem.h"

namespace modemsim {

namespace {

const int kVanishAfterPieceMs = 300;

}  // namespace

std::string Modem::Noise(std::size_t count)
{
    // Bytes above 0x7F only, so noise never spells "OK" or "ERROR".
    std::string noise;
    for (std::size_t i = 0; i < count; ++i) {
        m_noiseState = m_noiseState * 1664525u + 1013904223u;
        noise += static_cast<char>(0x80 | (m_noiseState >> 25));
    }
    return noise;
}

std::string Modem::FloodChunk()
{
    std::string chunk;
    while (chunk.size() < 4096)
        chunk += "\r\n+FLOOD: 0123456789ABCDEF0123456789ABCDEF\r\n";
    return chunk;
}

bool Modem::Matches(const std::string& command, const std::string& prefix)
{
    return !prefix.empty() && StartsWith(Normalise(command), Normalise(prefix));
}

bool Modem::StartsFault(const std::string& raw)
{
    const Faults& f = m_config.faults;
    if (Matches(raw, f.silentFrom)) {
        m_silent = true;
        return true;
    }
    if (Matches(raw, f.trickleFrom)) {
        m_silent = true;
        m_trickling = true;
        return true;
    }
    return false;
}

void Modem::RunCommand(const std::string& raw)
{
    std::string cmd = Normalise(raw);
    if (!StartsWith(cmd, "AT"))
        return;
    const Faults& faults = m_config.faults;
    m_replyDelayMs = faults.delayMs;
    for (const DelayRule& rule : faults.delayCommands) {
        if (Matches(cmd, rule.prefix))
            m_replyDelayMs = rule.delayMs;
    }
    if (!m_vanishInReplyDone && Matches(cmd, faults.vanishInReply)) {
        m_vanishInReplyDone = true;
        m_cutReplyAt = faults.vanishInReplyBytes;
    }
    for (const ErrorRule& rule : m_config.faults.errorCommands) {
        if (StartsWith(cmd, Normalise(rule.prefix))) {
            Reply("\r\n" + rule.reply + "\r\n");
            return;
        }
    }
    Answer(cmd.substr(2));
}

void Modem::Reply(const std::string& text)
{
    const Faults& f = m_config.faults;
    std::string r = m_config.compactResults ? CompactResults(text) : text;
    if (f.overlongReply > 0 && static_cast<std::size_t>(f.overlongReply) > r.size()) {
        std::size_t pad = static_cast<std::size_t>(f.overlongReply) - r.size();
        r = (pad >= 4 ? "\r\n" + std::string(pad - 4, '#') + "\r\n" : std::string(pad, ' ')) + r;
    }
    if (f.garbage > 0)
        r = Noise(static_cast<std::size_t>(f.garbage)) + r;
    if (f.nulBytes > 0)
        r += std::string(static_cast<std::size_t>(f.nulBytes), '\0');
    if (m_cutReplyAt >= 0) {
        // The module goes in the middle of this reply.
        r = r.substr(0, static_cast<std::size_t>(m_cutReplyAt));
        m_cutReplyAt = -1;
        m_silent = true;
        Json::Value v;
        v["event"] = "vanish";
        Log(v);
        m_out.push_back({r, m_replyDelayMs});
        // A hang-up drops what the program has not read yet: the line
        // closes once it has had time to take the piece.
        m_out.push_back({"", kVanishAfterPieceMs, true});
        return;
    }
    if (f.splitSize > 0) {
        for (std::size_t at = 0; at < r.size(); at += static_cast<std::size_t>(f.splitSize)) {
            m_out.push_back({r.substr(at, static_cast<std::size_t>(f.splitSize)),
                             at == 0 ? m_replyDelayMs : f.splitGapMs});
        }
    } else {
        m_out.push_back({r, m_replyDelayMs});
    }
    for (const std::string& line : f.unsolicited) {
        if (!m_caretReports && StartsWith(line, "^"))
            continue;
        if (!m_rssiReports && StartsWith(line, "^RSSI"))
            continue;
        m_out.push_back({"\r\n" + line + "\r\n", 0});
    }
}

bool Modem::RefusesBody() const
{
    const Faults& f = m_config.faults;
    return m_bodies <= f.cmsErrorBodies ||
           std::find(f.cmsErrorBodyNumbers.begin(), f.cmsErrorBodyNumbers.end(), m_bodies) !=
               f.cmsErrorBodyNumbers.end();
}

}  // namespace modemsim
