#pragma once
// What each emulated module says about itself and which command families it
// speaks.

#include <string>

namespace modemsim {

struct ModelInfo {
    const char* name;
    bool silent;
    bool huawei;  // ^ICCID?, ^CURC, ^RSSIREP
    bool cdma;    // ^HCMGS family and phone book instead of AT+CMGS
    bool modeConfig;
    bool atver;
    int accessTechnology;  // the +COPS <AcT>, -1 when the module gives none
    const char* ati;       // full replies; "{IMEI}" stands for the port's IMEI
    const char* ati3;
    const char* cgmi;
    const char* cgmm;
    const char* defaultOperator;
    // The SIM and the network, as the module's family does them:
    bool reportStorage;      // a storage of status reports, "SR" (Wavecom)
    bool cpinWithoutOk;      // "+CPIN: <code>" with no OK after it (Wavecom)
    bool ussdOkFirst;        // OK at once, the +CUSD line later (Wavecom)
    const char* pinCounter;  // the command that tells the PIN attempts left ("" none)
};

// Null for a name that is not a model.
const ModelInfo* FindModel(const std::string& name);

// The names accepted in the configuration, for error messages.
std::string ModelNames();

}  // namespace modemsim
