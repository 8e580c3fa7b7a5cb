#pragma once
// A driver for the transport's tests: its parsers decide by plain markers and
// keep every reply they see.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "drivers/phone_card_base.h"

inline const std::string kOk = "\r\nOK\r\n";

// A driver whose parsers decide by plain markers ("ERROR" fails; "OK", or ">"
// for the prompt, succeeds; anything else asks for more) unless a test forces
// their results; every reply a parser sees is kept.
class FakeDriver : public CPhoneCardBase {
public:
    std::map<std::string, std::vector<PARSE_RESULT_t>> forced;
    std::vector<std::string> initCommands;
    std::vector<SendPair> sendPairs;
    std::deque<int> pending;
    bool endlessPending = false;

    std::vector<std::string> Replies(const std::string& parser) const
    {
        auto it = m_seen.find(parser);
        return it == m_seen.end() ? std::vector<std::string>() : it->second;
    }

    std::vector<std::string> InitCommands() override { return initCommands; }
    PARSE_RESULT_t ParseInit(std::string reply) override { return Decide("init", reply); }
    std::string ServiceCentreCommand() override { return "AT+CSCA?\r\n"; }
    PARSE_RESULT_t ParseServiceCentre(std::string reply) override { return Decide("csca", reply); }
    std::string PduModeCommand() override { return "AT+CMGF=0\r\n"; }
    PARSE_RESULT_t ParsePduMode(std::string reply) override { return Decide("cmgf", reply); }
    std::string PrepareReadCommand() override { return "AT+CPMS?\r\n"; }
    PARSE_RESULT_t ParsePrepareRead(std::string reply) override { return Decide("prepare", reply); }
    std::string ListCommand() override { return "AT+CMGL=4\r\n"; }
    PARSE_RESULT_t ParseList(std::string reply) override { return Decide("list", reply); }
    bool HasPendingRead() override { return endlessPending || !pending.empty(); }
    std::string ReadNextCommand() override
    {
        int index = 9;
        if (!pending.empty()) {
            index = pending.front();
            pending.pop_front();
        }
        return "AT+CMGR=" + std::to_string(index) + "\r\n";
    }
    bool ParseReadNext(std::string reply) override
    {
        m_seen["readnext"].push_back(reply);
        return reply.find("+CMGR:") != std::string::npos && reply.find("OK") != std::string::npos;
    }
    std::vector<SendPair> BuildSendCommands(std::string, std::string) override { return sendPairs; }
    PARSE_RESULT_t ParseSendPrompt(std::string reply) override { return Decide("prompt", reply); }
    PARSE_RESULT_t ParseSendBody(std::string reply) override { return Decide("body", reply); }

private:
    PARSE_RESULT_t Decide(const std::string& parser, const std::string& reply)
    {
        std::vector<std::string>& seen = m_seen[parser];
        seen.push_back(reply);
        auto it = forced.find(parser);
        if (it != forced.end() && !it->second.empty()) {
            const std::size_t call = std::min(seen.size(), it->second.size()) - 1;
            return it->second[call];
        }
        if (reply.find("ERROR") != std::string::npos) {
            return PARSE_FAILED;
        }
        if (reply.find("OK") != std::string::npos ||
            (parser == "prompt" && reply.find('>') != std::string::npos)) {
            return PARSE_SUCCEED;
        }
        return PARSE_INCOMPLETE;
    }

    std::map<std::string, std::vector<std::string>> m_seen;
};
