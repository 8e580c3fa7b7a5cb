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
};

// Null for a name that is not a model.
const ModelInfo* FindModel(const std::string& name);

// The names accepted in the configuration, for error messages.
std::string ModelNames();

}  // namespace modemsim
