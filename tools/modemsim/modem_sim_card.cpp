// The SIM's PIN: its state, entering the PIN (or the PUK and a new PIN),
// the attempts left in each family's own command, and what a locked SIM
// refuses (NeedsReadySim, NeedsSimForMessages).
#include "command_text.h"
#include "modem.h"

namespace modemsim {

bool Modem::SimLocked() const
{
    return m_config.hasSim && m_memory->simState != "READY";
}

void Modem::AnswerPinState(const std::string&, const std::string&)
{
    if (!NeedsSim())
        return;
    const std::string line = "+CPIN: " + m_memory->simState;
    if (m_model->cpinWithoutOk) {
        // Wavecom sends the state line alone, no OK after it.
        Reply("\r\n" + line + "\r\n");
        return;
    }
    Info({line});
}

// AT+CPIN=<pin> while the SIM waits for its PIN; AT+CPIN=<puk>,<new pin>
// while it waits for its PUK (TS 27.007 8.3). A wrong PIN costs one of its
// attempts, the last one blocks the SIM.
void Modem::AnswerEnterPin(const std::string&, const std::string& args)
{
    if (!NeedsSim())
        return;
    ModuleMemory& sim = *m_memory;
    const std::vector<std::string> values = SplitArgs(args);
    Json::Value e;
    e["event"] = "pin";
    if (sim.simState == "READY") {
        CmeError(3);  // operation not allowed: nothing to enter
        return;
    }
    bool accepted = false;
    if (sim.simState == "SIM PIN") {
        if (values.size() != 1) {
            CmeError(3);
            return;
        }
        accepted = values[0] == sim.pin;
        if (accepted) {
            sim.simState = "READY";
            sim.pinLeft = 3;
        } else if (--sim.pinLeft <= 0) {
            sim.pinLeft = 0;
            sim.simState = "SIM PUK";
        }
    } else {
        if (values.size() != 2) {
            CmeError(12);  // the PUK is wanted
            return;
        }
        accepted = sim.pukLeft > 0 && values[0] == m_config.puk;
        if (accepted) {
            sim.pin = values[1];
            sim.simState = "READY";
            sim.pinLeft = 3;
            sim.pukLeft = 10;
        } else if (sim.pukLeft > 0) {
            --sim.pukLeft;
        }
    }
    e["accepted"] = accepted;
    e["state"] = sim.simState;
    Log(e);
    if (accepted) {
        Ok();
    } else {
        CmeError(16);  // incorrect password
    }
}

// The attempts left: Huawei ^CPIN: <code>,<times>,<puk>,<pin>,<puk2>,<pin2>;
// Quectel +QTRPIN and Wavecom +CPINC: <pin1>,<pin2>,<puk1>,<puk2>.
void Modem::AnswerPinCounter(const std::string& cmd, const std::string&)
{
    if (cmd != m_model->pinCounter) {
        Unknown();
        return;
    }
    if (!NeedsSim())
        return;
    const ModuleMemory& sim = *m_memory;
    const std::string pin = std::to_string(sim.pinLeft);
    const std::string puk = std::to_string(sim.pukLeft);
    if (cmd == "^CPIN?") {
        const std::string times = sim.simState == "SIM PIN"   ? pin
                                  : sim.simState == "SIM PUK" ? puk
                                                              : "";
        Info({"^CPIN: " + sim.simState + "," + times + "," + puk + "," + pin + ",10,3"});
        return;
    }
    const std::string key = cmd == "+QTRPIN" ? "+QTRPIN: " : "+CPINC: ";
    Info({key + pin + ",3," + puk + ",10"});
}

}  // namespace modemsim
