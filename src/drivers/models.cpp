#include "drivers/models.h"

#include <memory>

#include "drivers/clm920_nc5.h"
#include "drivers/m35.h"
#include "drivers/mc323.h"
#include "drivers/me909s.h"
#include "drivers/mg301.h"
#include "drivers/wavecom_q2406b.h"

namespace {

template <typename Driver>
std::unique_ptr<CPhoneCardBase> Create()
{
    return std::make_unique<Driver>();
}

}  // namespace

// clang-format off
const MODEL_t kModels[] = {
    // type, module, driver,
    //   identity, with "OK",
    //   scan: recognised by, maker, text, label,
    //   serial number, card command, network mode, PIN state
    {PHONE_TYPE_VELT_C, "Quectel M35", Create<CM35>,
       "M35", false,
       PROBE_QUERY_NONE, nullptr, nullptr, "",
       SERIAL_ROUTE_WMSN, "AT+CCID\r", false, true},
    {PHONE_TYPE_VELT_B, "Yuga CLM920_NC5", Create<CClm920Nc5>,
       "CLM920_NC5", true,
       PROBE_QUERY_MODEL, "Yuga", "CLM920_NC5", "CLM920_NC5",
       SERIAL_ROUTE_WMSN, "AT+CCID\r", true, true},
    {PHONE_TYPE_VELT_D, "Huawei ME909s-821", Create<CMe909s>,
       "ME909s-821", false,
       PROBE_QUERY_MODEL, "Huawei", "ME909s-821", "HuaWeiME909s",
       SERIAL_ROUTE_CGSN, "AT^ICCID?\r", false, true},
    {PHONE_TYPE_VELT_E, "Huawei MG301", Create<CMg301>,
       "MG301", false,
       PROBE_QUERY_MODEL, "HUAWEI", "MG301", "HuaWeiMG301",
       SERIAL_ROUTE_CGSN, "AT^ICCID?\r", false, true},
    {PHONE_TYPE_WISMOQ, "Wavecom WISMO Quik", nullptr,
       nullptr, false,
       PROBE_QUERY_ATI3, nullptr, "WISMOQ", "WISMOQ",
       SERIAL_ROUTE_NONE, "AT+CCID\r", false, true},
    {PHONE_TYPE_VELT_F, "Wavecom Q2406B", Create<CWavecomQ2406b>,
       "WAVECOM", false,
       PROBE_QUERY_ATI3, nullptr, "Q2406B", "Q2406B",
       SERIAL_ROUTE_CGSN, "AT+CCID\r", false, true},
    {PHONE_TYPE_VELT_G, "Huawei MC323 (CDMA)", Create<CMc323>,
       "MC323", false,
       PROBE_QUERY_MODEL, "HUAWEI", "MC323", "HuaWeiMC323",
       SERIAL_ROUTE_PHONE_BOOK, "AT+CCID\r", false, false},
    {PHONE_TYPE_SIEMENS, "Siemens", nullptr,
       nullptr, false,
       PROBE_QUERY_ATI, nullptr, "SIEMENS", "",
       SERIAL_ROUTE_CGSN, "AT+CXXCID\r", false, true},
    // A module of no known model; also the row of every type without one.
    {PHONE_TYPE_UN_KNOWN, "", nullptr,
       nullptr, false,
       PROBE_QUERY_NONE, nullptr, nullptr, "",
       SERIAL_ROUTE_WMSN, "AT+CCID\r", false, true},
};
// clang-format on

const MODEL_t& ModelOf(PHONE_TYPE_t type)
{
    for (const MODEL_t& model : kModels) {
        if (model.nType == type) {
            return model;
        }
    }
    return kModels[kModelCount - 1];
}

std::unique_ptr<CPhoneCardBase> CreatePhoneCard(PHONE_TYPE_t deviceType)
{
    const MODEL_t& model = ModelOf(deviceType);
    return model.nType == deviceType && model.create != nullptr ? model.create() : nullptr;
}

PHONE_TYPE_t IdentifyDeviceType(const std::string& atiReply)
{
    for (const MODEL_t& model : kModels) {
        if (model.create == nullptr) {
            continue;
        }
        const std::unique_ptr<CPhoneCardBase> driver = model.create();
        if (driver->MatchIdentity(atiReply)) {
            return model.nType;
        }
    }
    return PHONE_TYPE_UN_KNOWN;
}
